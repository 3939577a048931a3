// AppKit: the platform's user-interface framework, headless (see AppKitTesting.h for the kit that drives it).
#pragma once

#include <Foundation/Foundation.h>
#include <AppKit/NSGeometry.h>
#include <AppKit/NSApplication.h>
#include <AppKit/NSResponder.h>
#include <AppKit/NSView.h>
#include <AppKit/NSWindow.h>
#include <AppKit/NSEvent.h>
#include <AppKit/NSImage.h>
#include <AppKit/NSCursor.h>
#include <AppKit/NSColor.h>
#include <AppKit/NSFont.h>
#include <AppKit/NSMenu.h>
#include <AppKit/NSTextField.h>
#include <AppKit/NSAlert.h>
#include <AppKit/NSSavePanel.h>
#include <AppKit/NSWorkspace.h>
#include <AppKit/NSPasteboard.h>
#include <AppKit/AUCocoaUIView.h>
#include <QuartzCore/QuartzCore.h>
