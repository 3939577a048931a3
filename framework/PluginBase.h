#pragma once

// PluginBase — the format-independent layer of every plug-in object, between the editor delegate (which owns the
// parameters) and the API base. It holds the plug-in's identity (names, identifiers, version, host, API) and
// formats the version and build strings; it defines the state-serialisation operations that the host adapter and
// the preset code call, with the framework's own parameter state as the default; it offers operations over runs
// and groups of parameters; and it keeps the preset slots, the preset bank and the VST2 program/bank files.
//
// Parameter state: one f64 per parameter (its real value), in index order, host byte order, nothing else.
//
// State readers return the position after what they read, or a value below 1 on failure, so reads chain.
//
// Threads: state, presets and files run on the main thread (host state save/restore, preset requests, editor
// commands). Parameter values are atomic, so a state taken while the audio thread sets parameters holds, per
// parameter, the old or the new value. Nothing here locks; the preset list must not change while the host reads
// it.
//
// Sources: PluginBase.cpp (identity, parameter state, parameter operations), PluginBase_Presets.cpp (slots,
// bank, blobs, dumps), PluginBase_VST2Files.cpp (fxp/fxb).

#include "framework/IByteChunk.h"
#include "framework/IGEditorDelegate.h"
#include "framework/IPreset.h"
#include "graphics/Util.h"

#include <cstdint>
#include <functional>

namespace plugin
{

class PluginBase : public igraphics::IGEditorDelegate
{
public:
  using ParamFunc = std::function<void(int paramIdx, IParam& param)>;

  // nParams parameters (through the editor delegate) and nPresets slots, each not initialised and named "empty".
  // Negative counts count as 0. [main thread]
  PluginBase(int nParams, int nPresets);
  // Deletes every preset with its chunk.
  ~PluginBase() override;

  // ---------------------------------------------------------------------------------------------------------
  // Identity [any thread; set once while the API base is built]
  // ---------------------------------------------------------------------------------------------------------

  // The packed version (major << 16 | minor << 8 | patch), or with decimal the sum major × 1000 + minor × 100 +
  // patch × 10 (2.2.11 gives 2310: a patch of 10 or more runs into the minor digit, as hosts expect).
  int GetPluginVersion(bool decimal) const;
  // "v%d.%d.%d" of major, minor, patch.
  void GetPluginVersionStr(Util_String& str) const;
  int GetHostVersion(bool decimal) const;
  void GetHostVersionStr(Util_String& str) const;
  // "VST2", "VST3", "AU", "AUv3", "AAX", "APP", "WAM", "WEB" by the API index; "" for any other index.
  const char* GetAPIStr() const;
  const char* GetArchStr() const { return "x64"; }
  // "<name> version <version> <API> (<arch>), built on <date> at <hh:mm> " with this build's date and time.
  void GetBuildInfoStr(Util_String& str) const;
  // The same with the given build date and time (the time is cut to its first five characters).
  void GetBuildInfoStr(Util_String& str, const char* date, const char* time) const;

  const char* GetPluginName() const { return mPluginName.Get(); }
  const char* GetProductName() const { return mProductName.Get(); }
  const char* GetMfrName() const { return mMfrName.Get(); }
  int GetUniqueID() const { return mUniqueID; }
  int GetMfrID() const { return mMfrID; }
  int GetHost() const { return mHost; }
  int GetAPI() const { return mAPI; }
  const char* GetHostName() const { return mHostName.Get(); }
  const char* GetBundleID() const { return mBundleID.Get(); }
  bool HasUI() const { return mHasUI; }
  void SetHasUI(bool hasUI) { mHasUI = hasUI; }
  bool GetHostResizeEnabled() const { return mHostResize; }
  // The plug-in's state is an opaque chunk rather than a list of parameter values; chooses the fxp/fxb forms.
  bool DoesStateChunks() const { return mStateChunks; }

  // Parameter group names for the host; nothing in this program adds any. Returns the new count.
  int AddParamGroup(const char* name);
  int NParamGroups() const { return mParamGroups.GetSize(); }
  // "" for an index outside the list.
  const char* GetParamGroupName(int idx) const;

  // ---------------------------------------------------------------------------------------------------------
  // State [main thread]
  // ---------------------------------------------------------------------------------------------------------

  // Tells the host that the parameter list or details changed. Empty here; the adapter overrides it.
  virtual void InformHostOfParameterDetailsChange() {}
  // Appends the instance's state. Here: SerializeParams.
  virtual bool SerializeState(IByteChunk& chunk) const { return SerializeParams(chunk); }
  // Reads the state from startPos; the position after it, or below 1 on failure. Here: UnserializeParams.
  [[nodiscard]] virtual int UnserializeState(const IByteChunk& chunk, int startPos)
  {
    return UnserializeParams(chunk, startPos);
  }
  // Whether the last UnserializeState applied what it read. A reader may step over a well-framed state it
  // refuses (another plug-in's) and still return its end, so that chained reads go on; the host adapter asks
  // this so that such a restore is not reported as a success.
  virtual bool LastStateApplied() const { return true; }
  // Whether UnserializeState would read and apply the state at startPos; changes nothing. The position after the
  // state, or -1 when it would be refused. Here: one f64 per parameter fits from startPos; a plug-in with a state
  // format of its own overrides both.
  [[nodiscard]] virtual int CheckState(const IByteChunk& chunk, int startPos) const;
  // UnserializeState of a state that CheckState accepts and that the plug-in applies: the position after it.
  // -1 when it is refused; a state the check refuses is not read at all.
  [[nodiscard]] int UnserializeCheckedState(const IByteChunk& chunk, int startPos);
  virtual bool SerializeExtraState(IByteChunk& chunk)
  {
    (void)chunk;
    return true;
  }
  [[nodiscard]] virtual int UnserializeExtraState(const IByteChunk& chunk, int startPos)
  {
    (void)chunk;
    return startPos;
  }
  // Tells the host the current preset changed. Empty here; the adapter overrides it.
  virtual void InformHostOfPresetChange() {}
  // Called after a preset was stored or recalled. Empty hook.
  virtual void OnPresetsModified() {}
  // True when every parameter equals, within 1e-5 as 32-bit floats, the f64 value number startPos + i of the
  // dataSize bytes at incoming (values may be unaligned). False when the data is too short to hold them all, for
  // a negative startPos or a null pointer; true when there are no parameters.
  virtual bool CompareState(const uint8_t* incoming, int dataSize, int startPos) const;

  // Appends one f64 per parameter. False (after what was appended) when the chunk could not grow.
  bool SerializeParams(IByteChunk& chunk) const;
  // Reads one f64 per parameter from startPos. A parameter is set only from a value that was read in full; a
  // non-finite value leaves its parameter as it was. Reading stops at the first value that does not fit; the
  // parameters after it keep their values. OnParamReset(kPresetRecall) runs in every case. Returns the position
  // after the last value, -1 when the chunk was too short, or startPos when it was negative.
  [[nodiscard]] int UnserializeParams(const IByteChunk& chunk, int startPos);

  // ---------------------------------------------------------------------------------------------------------
  // Operations over the parameter list [main thread]; ranges inclusive, start > end does nothing, indices
  // outside the list are skipped
  // ---------------------------------------------------------------------------------------------------------

  // Initialises [startIdx, endIdx] with IParam::InitDouble, naming each nameFmtStr formatted with a running
  // number from countStart (at most 31 characters).
  void InitParamRange(int startIdx, int endIdx, int countStart, const char* nameFmtStr, double defaultVal,
                      double minVal, double maxVal, double step, const char* label = "", int flags = 0,
                      const char* group = "", const IParam::Shape& shape = IParam::ShapeLinear(),
                      EParamUnit unit = kUnitCustom, IParam::DisplayFunc displayFunc = nullptr);
  // Copy-initialises startIdx + k from cloneStartIdx + k (IParam::Init) and copies its value.
  void CloneParamRange(int cloneStartIdx, int cloneEndIdx, int startIdx, const char* searchStr, const char* replaceStr,
                       const char* newGroup = nullptr);
  // destIdx + i takes the value of startIdx + i, for i < nParams.
  void CopyParamValues(int startIdx, int destIdx, int nParams);
  // The i-th parameter of outGroup takes the value of the i-th of inGroup, for as many as both groups have.
  void CopyParamValues(const char* inGroup, const char* outGroup);
  void ForParamInRange(int startIdx, int endIdx, const ParamFunc& func);
  // Exact, case-sensitive group comparison.
  void ForParamInGroup(const char* paramGroup, const ParamFunc& func);
  // IParam::SetToDefault.
  void DefaultParamValues();
  void DefaultParamValues(int startIdx, int endIdx);
  void DefaultParamValues(const char* paramGroup);
  // IParam::SetNormalized of rand() as a float times 2^-31, in [0, 1].
  void RandomiseParamValues();
  void RandomiseParamValues(int startIdx, int endIdx);
  void RandomiseParamValues(const char* paramGroup);
  // Calls every parameter's (empty) print hook.
  void PrintParamValues();

  // ---------------------------------------------------------------------------------------------------------
  // Presets [main thread] — PluginBase_Presets.cpp
  // The makers fill the next free slot (the first not initialised); without one they do nothing. Names are cut
  // to 255 characters.
  // ---------------------------------------------------------------------------------------------------------

  int NPresets() const { return mPresets.GetSize(); }
  int GetCurrentPresetIdx() const { return mCurrentPresetIdx; }
  // The slot at idx, or null.
  IPreset* GetPreset(int idx) const { return mPresets.Get(idx); }

  // nPresets times: the next free slot takes name ("Empty" when null) and the current state.
  void MakeDefaultPreset(const char* name, int nPresets);
  // Every free slot takes the name "Empty" and the current state.
  void MakeDefaultUserPresets();
  // name, then one value per parameter: an int for bool, int and enum parameters, else a double. The slot
  // receives the parameter state built from them.
  void MakePreset(const char* name, ...);
  // name, the number of pairs, then pairs of (int parameter index, value as an int or a double by the
  // parameter's type; a double for an index outside the list, which is skipped). Unnamed parameters, and values
  // of exactly 9.999e-8, take the current value.
  void MakePresetFromNamedParams(const char* name, int nParamsNamed, ...);
  void MakePresetFromChunk(const char* name, const IByteChunk& chunk);
  // The slot receives sizeOfChunk bytes decoded from base64 text (RFC 4648 alphabet), zeros where the text ends
  // early; decoding stops at the first character outside the alphabet. Nothing for sizeOfChunk < 0.
  void MakePresetFromBlob(const char* name, const char* blob, int sizeOfChunk);

  // Recalls slot idx: an initialised slot's state is read back (false, nothing changed, when it is refused); a
  // slot never filled is named "user preset N" (N = 1 + the number of slots whose name contains "user preset")
  // and takes the current state. On success the slot becomes current, then OnPresetsModified and
  // OnRestoreState. False for an index outside the list.
  [[nodiscard]] bool RestorePreset(int idx);
  // RestorePreset of the first slot named exactly name; false for a null or empty name or no match.
  [[nodiscard]] bool RestorePresetByName(const char* name);
  // The slot's name; "" for an index outside the list.
  const char* GetPresetName(int idx) const;
  // The current slot takes the current state, and name when it is non-empty. The initialised flag is kept.
  void ModifyCurrentPreset(const char* name = nullptr);
  // Deletes every slot that is not initialised; the others keep their order, and the current index follows its
  // slot (0 when that slot went).
  void PruneUninitializedPresets();

  // Appends the bank: per slot, the name (i32 length and bytes), the initialised byte and, when initialised, the
  // slot's chunk. False when the chunk could not grow.
  bool SerializePresets(IByteChunk& chunk) const;
  // Reads the bank from startPos into the slots in order. A slot changes only when its whole record (name, flag
  // and, when initialised, a state that the plug-in applies) was read; its chunk is then re-written by
  // SerializeState. Reading stops at the first record that does not fit or is refused; that slot and the later
  // ones keep what they had. The current preset is recalled in every case. Returns the position after the last
  // slot, or -1.
  [[nodiscard]] int UnserializePresets(const IByteChunk& chunk, int startPos);
  // Whether UnserializePresets would read every slot of the bank at startPos; changes nothing.
  bool CheckPresets(const IByteChunk& chunk, int startPos) const;

  // Developer aids: append one line of source text to the file at path (nothing when it cannot be opened).
  void DumpMakePresetSrc(const char* path) const;
  void DumpMakePresetFromNamedParamsSrc(const char* path, const char* const* paramEnumNames) const;
  void DumpPresetBlob(const char* path) const;

  // ---------------------------------------------------------------------------------------------------------
  // VST2 program (fxp) and bank (fxb) files [main thread] — PluginBase_VST2Files.cpp
  // Chunk forms when the plug-in does state chunks, parameter forms otherwise. All return false for a null or
  // empty path.
  // ---------------------------------------------------------------------------------------------------------

  // Writes the current state as an fxp file. False, leaving no file behind, when it cannot be written.
  [[nodiscard]] bool SaveProgramAsFXP(const char* path) const;
  // Writes all slots as an fxb file. False, leaving no file behind, when it cannot be written.
  [[nodiscard]] bool SaveBankAsFXB(const char* path) const;
  // Reads an fxp file into the current state and the current slot. Every header field and the length are checked
  // first; a refused file, or a state the plug-in does not accept, returns false and changes nothing. A path that
  // names no regular file (directory, FIFO, device) is refused without waiting on it.
  [[nodiscard]] bool LoadProgramFromFXP(const char* path);
  // Reads an fxb file into the slots (at most as many programs as there are slots) and recalls its current
  // program. A refused file or bank returns false and changes nothing, as for LoadProgramFromFXP.
  [[nodiscard]] bool LoadBankFromFXB(const char* path);

protected:
  // The first slot that is not initialised, or null.
  IPreset* GetNextUninitializedPreset() const;
  // Files the current state in preset under name, the name first (a state that carries preset names stores the
  // one it is filed under). A state that cannot be written leaves the slot, name included, as it was: false.
  bool StoreNamedState(IPreset& preset, const char* name);

  // Identity and host, filled by the API base.
  int mCurrentPresetIdx = 0;
  bool mStateChunks = false;
  Util_String mPluginName;
  Util_String mProductName;
  Util_String mMfrName;
  int mUniqueID = 0;
  int mMfrID = 0;
  int mVersion = 0;
  int mHostVersion = 0;
  int mHost = kHostUninitialized;
  int mAPI = 0;
  Util_PtrList<IPreset> mPresets;
  Util_String mBundleID;
  bool mHasUI = false;
  bool mHostResize = false;
  Util_PtrList<Util_String> mParamGroups;
  Util_String mHostName;
};

} // namespace plugin
