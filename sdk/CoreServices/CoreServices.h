// CoreServices: the Component Manager's per-instance storage and selector numbers, and Gestalt.
//
// Component Manager calls reach a component's entry function as
//   ComponentResult Entry(ComponentParameters* params, Handle storage)   (ZANIQ_Entry takes void* storage)
// In this stand-in the parameter block is laid out as on 64-bit macOS (see ComponentParameters) and its words
// hold, in order: word 0 the ComponentInstance, then the arguments of the published function of the selector,
// one argument per word (see ZQAUCallComponent in <AudioToolbox/AUTesting.h> for the packing rules).
#pragma once

#include <CoreFoundation/CFBase.h>

// The same record type as AudioComponentInstance/AudioUnit: one handle names an instance in both APIs.
typedef struct ComponentInstanceRecord* ComponentInstance;
typedef SInt32 ComponentResult;

// Parameter block handed to a component entry. 16 bytes of header and first word on 64-bit:
//   flags (1) | paramSize (1) | what (2) | padding (4) | params[0] (8) | params[1] (8) | ...
// paramSize is the byte size of the argument words after word 0 (8 per argument).
struct ComponentParameters
{
  UInt8 flags;
  UInt8 paramSize;
  SInt16 what;
  UInt32 padding;
  long params[1]; // really as many words as the call has
};
typedef struct ComponentParameters ComponentParameters;

typedef ComponentResult (*ComponentRoutineProcPtr)(ComponentParameters* cp, Handle componentStorage);

// Selectors every component answers (negative), in the published numbering.
enum
{
  kComponentOpenSelect = -1,
  kComponentCloseSelect = -2,
  kComponentCanDoSelect = -3,
  kComponentVersionSelect = -4,
  kComponentRegisterSelect = -5,
  kComponentTargetSelect = -6,
  kComponentUnregisterSelect = -7,
  kComponentGetMPWorkFunctionSelect = -8,
  kComponentExecuteWiredActionSelect = -9,
  kComponentGetPublicResourceSelect = -10
};

// Component Manager errors (negative when held in an OSStatus).
enum
{
  invalidComponentID = -3000,
  validInstancesExist = -3001,
  componentNotCaptured = -3002,
  componentDontRegister = -3003,
  unresolvedComponentDLLErr = -3004,
  retryComponentRegistrationErr = -3005,
  badComponentInstance = (SInt32)0x80008001,
  badComponentSelector = (SInt32)0x80008002
};

// ---- Gestalt (system facts) ----
enum
{
  gestaltSystemVersion = 0x73797376,      // 'sysv': BCD 0xMMmb, minor and bug-fix capped at 9
  gestaltSystemVersionMajor = 0x73797331, // 'sys1'
  gestaltSystemVersionMinor = 0x73797332, // 'sys2'
  gestaltSystemVersionBugFix = 0x73797333 // 'sys3'
};
enum
{
  gestaltUnknownErr = -5550,
  gestaltUndefSelectorErr = -5551
};

CF_EXTERN_C_BEGIN

// [any thread] Storage the component attached to an instance with SetComponentInstanceStorage; null when
// none was set (or the instance is unknown).
CF_EXPORT Handle GetComponentInstanceStorage(ComponentInstance aComponentInstance);
// [any thread] Attaches `theStorage` to the instance, replacing any earlier storage; a null instance is
// ignored. The storage is not owned.
CF_EXPORT void SetComponentInstanceStorage(ComponentInstance aComponentInstance, Handle theStorage);

// [any thread] The stand-in system answers as macOS 10.15.7: 'sysv' 0x1099, 'sys1' 10, 'sys2' 15, 'sys3' 7.
// Null response: paramErr; any other selector: gestaltUndefSelectorErr with *response untouched.
CF_EXPORT OSErr Gestalt(OSType selector, SInt32* response);

CF_EXTERN_C_END

#ifdef __cplusplus
static_assert(sizeof(ComponentParameters) == 16, "ComponentParameters layout");
#endif
