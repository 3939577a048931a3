// Foundation stand-in: notifications and the default centre.

#include <Foundation/Foundation.h>

#include <algorithm>

NSNotification::~NSNotification()
{
  if (mName) mName->release();
  if (mUserInfo) mUserInfo->release();
}

NSNotification* NSNotification::notificationWithName_object_userInfo(NSString* name, NSObject* object,
                                                                     NSDictionary* userInfo)
{
  auto* n = new NSNotification();
  n->mName = name ? static_cast<NSString*>(name->retain()) : nullptr;
  n->mObject = object;
  n->mUserInfo = userInfo ? static_cast<NSDictionary*>(userInfo->retain()) : nullptr;
  return static_cast<NSNotification*>(n->autorelease());
}

NSNotificationCenter* NSNotificationCenter::defaultCenter()
{
  static NSNotificationCenter* center = new NSNotificationCenter();
  return center;
}

void NSNotificationCenter::addObserver_selector_name_object(NSObject* observer, SEL selector, NSString* name,
                                                            NSObject* object)
{
  if (!observer || !selector) return;
  mRegistrations.push_back(
    Registration{mNextID++, observer, std::move(selector), name ? name->UTF8String() : "", name == nullptr, object});
}

void NSNotificationCenter::removeObserver(NSObject* observer)
{
  removeObserver_name_object(observer, nullptr, nullptr);
}

void NSNotificationCenter::removeObserver_name_object(NSObject* observer, NSString* name, NSObject* object)
{
  if (!observer) return;
  std::erase_if(mRegistrations, [&](const Registration& r) {
    return r.observer == observer && (!name || (!r.anyName && r.name == name->UTF8String())) &&
           (!object || r.object == object);
  });
}

void NSNotificationCenter::postNotification(NSNotification* notification)
{
  if (!notification || !notification->name()) return;
  const std::string name = notification->name()->UTF8String();
  // Snapshot the matching registrations by id; one removed while the post runs is skipped.
  std::vector<unsigned long long> ids;
  for (const Registration& r : mRegistrations)
    if ((r.anyName || r.name == name) && (!r.object || r.object == notification->object())) ids.push_back(r.id);
  notification->retain();
  for (unsigned long long id : ids)
  {
    auto it = std::find_if(mRegistrations.begin(), mRegistrations.end(), [&](const Registration& r) { return r.id == id; });
    if (it == mRegistrations.end()) continue;
    NSObject* observer = it->observer;
    const SEL selector = it->selector; // the vector may change during the call
    selector.send(observer, notification);
  }
  notification->release();
}

void NSNotificationCenter::postNotificationName_object(NSString* name, NSObject* object)
{
  postNotificationName_object_userInfo(name, object, nullptr);
}

void NSNotificationCenter::postNotificationName_object_userInfo(NSString* name, NSObject* object,
                                                                NSDictionary* userInfo)
{
  if (!name) return;
  NSAutoreleasePool pool;
  postNotification(NSNotification::notificationWithName_object_userInfo(name, object, userInfo));
}

NSUInteger NSNotificationCenter::ZQObserverCount(const NSObject* observer) const
{
  if (!observer) return mRegistrations.size();
  return static_cast<NSUInteger>(
    std::count_if(mRegistrations.begin(), mRegistrations.end(), [&](const Registration& r) { return r.observer == observer; }));
}
