// AppKit stand-in: the Cocoa view factory protocol (its type information lives here, once for every bundle).

#include <AppKit/AUCocoaUIView.h>

AUCocoaUIBase::~AUCocoaUIBase() = default;
