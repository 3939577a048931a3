// Notifications and the default notification centre.
#pragma once

#include <Foundation/Foundation.h>

class NSDictionary;

class NSNotification : public NSObject
{
public:
  // Autoreleased.
  static NSNotification* notificationWithName_object_userInfo(NSString* name, NSObject* object, NSDictionary* userInfo);

  NSString* name() const { return mName; }
  NSObject* object() const { return mObject; } // not retained, as on the platform's senders
  NSDictionary* userInfo() const { return mUserInfo; }

protected:
  ~NSNotification() override;

private:
  NSNotification() = default;
  NSString* mName = nullptr;       // retained
  NSObject* mObject = nullptr;     // not retained
  NSDictionary* mUserInfo = nullptr; // retained
};

// [main thread] Observers are not retained: an observer removes itself (removeObserver) before it goes away.
// A post calls, in the order they were added, the observers registered for the name (or for any name: nil) and
// for the object (or for any object: nil) at the moment of the post; an observer removed during the post is not
// called afterwards.
class NSNotificationCenter : public NSObject
{
public:
  // The process's centre (never released).
  static NSNotificationCenter* defaultCenter();

  // The selector receives the NSNotification. Adding the same observer twice makes two registrations.
  void addObserver_selector_name_object(NSObject* observer, SEL selector, NSString* name, NSObject* object);
  // Removes every registration of the observer.
  void removeObserver(NSObject* observer);
  // Removes the observer's registrations matching the name (nil: any) and the object (nil: any).
  void removeObserver_name_object(NSObject* observer, NSString* name, NSObject* object);
  void postNotification(NSNotification* notification);
  void postNotificationName_object(NSString* name, NSObject* object);
  void postNotificationName_object_userInfo(NSString* name, NSObject* object, NSDictionary* userInfo);

  // Stand-in extension for tests: number of registrations of the observer (nil: of everyone).
  NSUInteger ZQObserverCount(const NSObject* observer) const;

private:
  NSNotificationCenter() = default;
  struct Registration
  {
    unsigned long long id;
    NSObject* observer;
    SEL selector;
    std::string name; // "" for any
    bool anyName;
    const NSObject* object;
  };
  std::vector<Registration> mRegistrations;
  unsigned long long mNextID = 1;
};
