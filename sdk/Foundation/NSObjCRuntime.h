// Objective-C run-time services: typed selectors and the class registry behind NSClassFromString.
//
// Stand-in: a class a host finds by name joins the registry when its bundle loads (ZQRegisterClass from a static
// initialiser or the bundle's entry); NSClassFromString answers a handle that makes instances.
#pragma once

#include <Foundation/Foundation.h>

#include <type_traits>

// ZQSelector("name:", &C::method): a selector of a method taking one object argument (the sender) or none.
template <class C, class T>
SEL ZQSelector(const char* name, void (C::*method)(T*))
{
  static_assert(std::is_base_of_v<NSObject, C>, "selectors are sent to objects");
  return SEL(
    name,
    [method](NSObject* target, NSObject* sender) {
      C* c = dynamic_cast<C*>(target);
      if (!c) return false;
      if constexpr (std::is_same_v<std::remove_cv_t<T>, NSObject>)
        (c->*method)(sender);
      else
        (c->*method)(dynamic_cast<T*>(sender));
      return true;
    },
    [](const NSObject* target) { return dynamic_cast<const C*>(target) != nullptr; });
}

template <class C>
SEL ZQSelector(const char* name, void (C::*method)())
{
  static_assert(std::is_base_of_v<NSObject, C>, "selectors are sent to objects");
  return SEL(
    name,
    [method](NSObject* target, NSObject*) {
      C* c = dynamic_cast<C*>(target);
      if (!c) return false;
      (c->*method)();
      return true;
    },
    [](const NSObject* target) { return dynamic_cast<const C*>(target) != nullptr; });
}

// A registered Objective-C class: its name and a way to allocate instances.
class ZQClassObject
{
public:
  using Factory = NSObject* (*)();
  ZQClassObject(std::string name, Factory factory) : mName(std::move(name)), mFactory(factory) {}

  const char* name() const { return mName.c_str(); }
  // [[C alloc] ...]: a new instance (owned by the caller, one reference), not yet initialised; nil when the
  // class was unregistered.
  NSObject* alloc() const { return mFactory ? mFactory() : nullptr; }
  // [[C alloc] init] (owned by the caller).
  NSObject* alloc_init() const
  {
    NSObject* obj = alloc();
    return obj ? obj->init() : nullptr;
  }

  bool alloc_ready() const { return mFactory != nullptr; }

private:
  friend void ZQUnregisterClass(const char* name);
  std::string mName;
  Factory mFactory;
};
typedef const ZQClassObject* Class;

// The class registered under that name, or nil (also after it was unregistered). Handles stay valid for the
// life of the process.
Class NSClassFromString(const NSString* name);
// The class name; autoreleased.
NSString* NSStringFromClass(Class cls);

// Stand-in extension: [main thread] registers (or replaces) a class by name. The factory answers a new object
// (`new C()`). Answers the handle.
Class ZQRegisterClass(const char* name, ZQClassObject::Factory factory);
// Stand-in extension: a bundle that unloads removes its classes; their handles then allocate nil.
void ZQUnregisterClass(const char* name);
