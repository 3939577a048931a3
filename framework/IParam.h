#pragma once

// One automatable plug-in parameter: kind, range, step, default, current value, names, the rules for turning a
// value into text and back, and the mapping between its real value and the normalised value (0 to 1) in which
// hosts and controls exchange it.
//
// Threads: everything except the value is set once during start-up on one thread and only read afterwards. The
// value is an atomic double: Set/SetNormalized/Value/GetNormalized may be called from any thread, allocate
// nothing and never block. Rounding/clamping followed by the store is not atomic as a whole; only the store is.
//
// No NaN or infinity ever enters a parameter: setters keep the old value when handed a non-finite number, and
// the shapes never produce one for finite input.

#include "graphics/Util.h"

#include <atomic>
#include <functional>
#include <initializer_list>
#include <memory>
#include <type_traits>

namespace plugin
{

// Unit reported to the host; the adapter maps every code to the host's unit of the same meaning.
enum EParamUnit : int
{
  kUnitPercentage = 0,
  kUnitSeconds = 1,
  kUnitMilliseconds = 2,
  kUnitSamples = 3,
  kUnitDB = 4,
  kUnitLinearGain = 5,
  kUnitPan = 6,
  kUnitPhase = 7,
  kUnitDegrees = 8,
  kUnitMeters = 9,
  kUnitRate = 10,
  kUnitRatio = 11,
  kUnitFrequency = 12,
  kUnitOctaves = 13,
  kUnitCents = 14,
  kUnitAbsCents = 15,
  kUnitSemitones = 16,
  kUnitMIDINote = 17,
  kUnitMIDICC = 18,
  kUnitBPM = 19,
  kUnitBeats = 20,
  kUnitCustom = 21, // the adapter gives the host the label as the unit's name
};

class IParam
{
public:
  enum EParamType : int
  {
    kTypeNone = 0, // not initialised
    kTypeBool = 1,
    kTypeInt = 2,
    kTypeEnum = 3,
    kTypeDouble = 4,
  };

  // What a shape tells the host about the curve of a control.
  enum EDisplayType : int
  {
    kDisplayLinear = 0,
    kDisplayLog = 1,
    kDisplayExp = 2,
    kDisplaySquared = 3,
    kDisplaySquareRoot = 4,
    kDisplayCubed = 5,
    kDisplayCubeRoot = 6,
  };

  // Bits of the flags field.
  enum EFlags : int
  {
    kFlagsNone = 0,
    kFlagCannotAutomate = 1, // passed to the host by the adapter
    kFlagStepped = 2,        // setters and the normalised display path round to whole steps
    kFlagNegateDisplay = 4,  // text shows the negated value; parsing negates back
    kFlagSignDisplay = 8,    // non-zero values shown with an explicit "+"
    kFlagMeta = 16,          // passed to the host as a parameter that changes others
  };

  // Size of the name, label, group and display-text fields, terminator included (31 characters of text).
  static constexpr int kTextLen = 32;

  // Produces the text form of a real value instead of the built-in rules of GetDisplay.
  using DisplayFunc = std::function<void(double value, Util_String& text)>;

  // -------------------------------------------------------------------------------------------------------------
  // Shapes: the mapping between normalised (0..1) and real values
  // -------------------------------------------------------------------------------------------------------------

  // Abstract mapping. Both directions are total: for finite input they return finite numbers (out-of-range
  // ratios are clamped before any logarithm or power). [any thread] for the two mapping operations.
  struct Shape
  {
    virtual ~Shape() = default;
    // A new heap copy with the same fields.
    virtual std::unique_ptr<Shape> Clone() const = 0;
    // Recomputes cached constants from the parameter's finished range. [main thread, start-up]
    virtual void Init(const IParam& param);
    virtual EDisplayType GetDisplayType() const;
    // Normalised (clamped to [0, 1] first; NaN counts as 0) to real; the result is not rounded to steps.
    virtual double NormalizedToValue(double normalized, const IParam& param) const = 0;
    // Real to normalised; the result is not clamped by the shape itself except where the formula would fail.
    virtual double ValueToNormalized(double value, const IParam& param) const = 0;
  };

  // min + n * (max - min).
  struct ShapeLinear : Shape
  {
    std::unique_ptr<Shape> Clone() const override;
    EDisplayType GetDisplayType() const override;
    double NormalizedToValue(double normalized, const IParam& param) const override;
    double ValueToNormalized(double value, const IParam& param) const override;
  };

  // min + n^exponent * (max - min). An exponent that is not finite or not above zero acts as 1 (linear).
  struct ShapePowCurve : Shape
  {
    explicit ShapePowCurve(double exponent);
    std::unique_ptr<Shape> Clone() const override;
    // e > 2.5: cube root; e > 1.5: square root; e < 0.4: cubed; e < 2/3: squared; else linear.
    EDisplayType GetDisplayType() const override;
    double NormalizedToValue(double normalized, const IParam& param) const override;
    double ValueToNormalized(double value, const IParam& param) const override;

    double mShape;
  };

  // exp(n * mul + add), with lo = min when min > 0, else 1e-8; add = ln(lo), mul = ln(max / lo). When max is
  // not above lo the curve is flat (mul 0): every normalised value maps to lo and every value to 0.
  struct ShapeExp : Shape
  {
    std::unique_ptr<Shape> Clone() const override;
    void Init(const IParam& param) override;
    EDisplayType GetDisplayType() const override;
    double NormalizedToValue(double normalized, const IParam& param) const override;
    double ValueToNormalized(double value, const IParam& param) const override;

    double mMul = 1.0;
    double mAdd = 1.0;
  };

  // -------------------------------------------------------------------------------------------------------------
  // Construction
  // -------------------------------------------------------------------------------------------------------------

  IParam();
  ~IParam();
  IParam(const IParam&) = delete; // use Init(source, ...) to copy-initialise
  IParam& operator=(const IParam&) = delete;

  // -------------------------------------------------------------------------------------------------------------
  // Initialisation [main thread, start-up]
  // Each replaces the shape, copies the texts (truncated to 31 characters; null counts as empty) and sets the
  // value from the default. The type is set only while it is still kTypeNone, so a type set first by a specific
  // initialiser survives the generic one it calls.
  // -------------------------------------------------------------------------------------------------------------

  // The general form. max becomes the larger of maxValue and minValue + step (a range narrower than one step is
  // widened to one step; never below minValue). A step of 0 or less (or not finite) means unstepped. The value
  // becomes the constrained default; the default field keeps defaultValue as given. Display precision: 0 for a
  // whole step, else the number of decimals of the step (1 to 5, 6 beyond). Non-finite minValue counts as 0,
  // non-finite maxValue or defaultValue as minValue.
  void InitDouble(const char* name, double defaultValue, double minValue, double maxValue, double step,
                  const char* label = "", int flags = 0, const char* group = "",
                  const Shape& shape = ShapeLinear(), EParamUnit unit = kUnitCustom,
                  DisplayFunc displayFunc = nullptr);

  // Range 0..1, step 1, stepped; display texts (0, offText) and (1, onText).
  void InitBool(const char* name, bool defaultValue, const char* label = "", int flags = 0, const char* group = "",
                const char* offText = "off", const char* onText = "on");

  // Step 1, stepped, linear, custom unit.
  void InitInt(const char* name, int defaultValue, int minValue, int maxValue, const char* label = "",
               int flags = 0, const char* group = "");

  // Range 0..nEnums-1, step 1, stepped. When firstItem is given, display texts for 0, 1, 2, ... are taken from
  // firstItem and the further item texts in order (at most nEnums texts in all; fewer when fewer are given).
  template <typename... Items>
  void InitEnum(const char* name, int defaultValue, int nEnums, const char* label = "", int flags = 0,
                const char* group = "", const char* firstItem = nullptr, Items... furtherItems)
  {
    static_assert((std::is_convertible_v<Items, const char*> && ...), "enum item texts are C strings");
    const char* items[] = {firstItem, static_cast<const char*>(furtherItems)...};
    InitEnumTexts(name, defaultValue, nEnums, label, flags, group, firstItem ? items : nullptr,
                  static_cast<int>(sizeof...(Items)) + 1);
  }

  // The same with an empty label and one value per list entry, display texts in list order.
  void InitEnum(const char* name, int defaultValue, std::initializer_list<const char*> items, int flags = 0,
                const char* group = "");

  // Label "Hz", frequency unit, exponential shape.
  void InitFrequency(const char* name, double defaultValue, double minValue, double maxValue, double step,
                     int flags = 0, const char* group = "");
  // Label "Seconds", seconds unit, linear.
  void InitSeconds(const char* name, double defaultValue, double minValue, double maxValue, double step,
                   int flags = 0, const char* group = "");
  // Label "ms", milliseconds unit, linear, step 1.
  void InitMilliseconds(const char* name, double defaultValue, double minValue, double maxValue, int flags = 0,
                        const char* group = "");
  // Enum over the notes minNote..maxNote (values 0, 1, ...), texts like "C 3" / "C#3"; octave = note / 12 - 2,
  // plus 1 with middleCisC (so note 60 reads "C 3", or "C 4" with middleCisC). defaultValue is the value (the
  // offset from minNote), not the note number.
  void InitPitch(const char* name, int defaultValue, int minNote, int maxNote, int flags = 0,
                 const char* group = "", bool middleCisC = false);
  // Label "dB", decibel unit, linear.
  void InitGain(const char* name, double defaultValue, double minValue, double maxValue, double step,
                int flags = 0, const char* group = "");
  // Label "%", percentage unit, linear, step 1.
  void InitPercentage(const char* name, double defaultValue, double minValue, double maxValue, int flags = 0,
                      const char* group = "");
  // Label "degrees", degrees unit, linear, step 1.
  void InitAngleDegrees(const char* name, double defaultValue, double minValue, double maxValue, int flags = 0,
                        const char* group = "");

  // Makes this a copy of source (range, step, default, label, flags, shape, unit, display function and display
  // texts). The first occurrence of searchText in the name is replaced by replaceText; a non-empty newGroup
  // replaces the group. source may be this parameter.
  void Init(const IParam& source, const char* searchText, const char* replaceText, const char* newGroup = nullptr);

  // Appends a display text for an exact value (an existing entry for the same value is not replaced).
  void SetDisplayText(double value, const char* text);
  // Overrides the number of decimals (limited to 0..6).
  void SetDisplayPrecision(int precision);

  // Product flags used by the preset code.
  void SetInPresets(bool inPresets) { mInPresets = inPresets; }
  bool GetInPresets() const { return mInPresets; }
  void SetInstanceSetting(bool instanceSetting) { mInstanceSetting = instanceSetting; }
  bool GetInstanceSetting() const { return mInstanceSetting; }

  // -------------------------------------------------------------------------------------------------------------
  // Values [any thread]
  // -------------------------------------------------------------------------------------------------------------

  // The current real value (atomic load).
  double Value() const { return mValue.load(); }
  // Stepped: rounded to a whole number of steps, half away from zero; then clamped to [min, max].
  // Infinities clamp to the bounds; NaN gives min.
  double Constrain(double value) const;
  // Stores the constrained value; a non-finite value is refused and the old value kept.
  void Set(double value);
  // The value before the last SetKeepingPrevious (atomic load); the initial value until then.
  double PrevValue() const { return mPrevValue.load(); }
  // A host set: the current value moves into the previous value (atomic exchange), then Set(value). A
  // non-finite value is refused and changes neither.
  void SetKeepingPrevious(double value);
  // The shape's real value for normalised n (clamped to [0, 1] first; NaN counts as 0), constrained.
  double FromNormalized(double normalized) const;
  // Set(FromNormalized(n)); a non-finite n is refused and the old value kept.
  void SetNormalized(double normalized);
  // The shape's normalised value of v, clamped to [0, 1] (NaN gives 0). v itself is not constrained.
  double ToNormalized(double value) const;
  // ToNormalized of the constrained current value.
  double GetNormalized() const;
  // Stores the default field as it stands, without rounding or clamping.
  void SetToDefault();

  // The default; normalised with ToNormalized when asked.
  double GetDefault(bool normalized = false) const;
  void GetBounds(double& lo, double& hi) const
  {
    lo = mMin;
    hi = mMax;
  }
  double GetMin() const { return mMin; }
  double GetMax() const { return mMax; }
  EParamType Type() const { return mType; }
  EParamUnit GetUnit() const { return mUnit; }
  double GetStep() const { return mStep; }
  int GetFlags() const { return mFlags; }
  int GetDisplayPrecision() const { return mDisplayPrecision; }
  bool GetCanAutomate() const { return !(mFlags & kFlagCannotAutomate); }
  bool GetStepped() const { return (mFlags & kFlagStepped) != 0; }
  bool GetNegateDisplay() const { return (mFlags & kFlagNegateDisplay) != 0; }
  bool GetSignDisplay() const { return (mFlags & kFlagSignDisplay) != 0; }
  bool GetMeta() const { return (mFlags & kFlagMeta) != 0; }
  const Shape& GetShape() const { return *mShape; }

  // -------------------------------------------------------------------------------------------------------------
  // Text [main thread]
  // -------------------------------------------------------------------------------------------------------------

  const char* GetName() const { return mName; }
  const char* GetLabel() const { return mLabel; }
  const char* GetGroup() const { return mGroup; }

  // The text form of value (a real value, or normalised when normalized is true): the display function when one
  // is set; else, with withDisplayText, a non-empty display text for that exact value; else the number with the
  // display precision (negated with kFlagNegateDisplay, "+" for non-zero values with kFlagSignDisplay and
  // precision above 0). A value that shows as zero at the precision is shown without sign ("0.0", never "-0.0").
  // At most 31 characters, formatted in the C locale whatever the process locale.
  void GetDisplay(double value, bool normalized, Util_String& text, bool withDisplayText = true) const;
  // The same for the current value.
  void GetDisplay(Util_String& text, bool withDisplayText = true) const
  {
    GetDisplay(Value(), false, text, withDisplayText);
  }

  // The first display text whose value equals value exactly, or "" (never null).
  const char* GetDisplayText(double value) const;
  // True and the value of the first display text equal to text; false (value untouched) when there is none.
  bool MapDisplayText(const char* text, double* value) const;
  int NDisplayTexts() const { return mDisplayTexts.GetSize(); }
  // Text of entry idx and, when value is given, its value; "" (value untouched) for an index outside the list.
  const char* GetDisplayTextAtIdx(int idx, double* value = nullptr) const;

  // The real value a typed text stands for: a display text's value when one matches exactly; 0 for bool and
  // enum parameters otherwise; else the leading number (C locale; "k"/"K" stands for the decimal point and
  // multiplies by 1000: "1k5" gives 1500, "2kHz" 2000; no number gives 0), negated with kFlagNegateDisplay and
  // constrained. Never NaN.
  double StringToValue(const char* text) const;

  // Appends the parameter as one JSON object:
  // {"id":idx, "name":"...", "type":"float", "min":..., "max":..., "default":..., "rate":"control"}
  // (no "type" entry for kTypeNone; numbers with six decimals; quotes, backslashes and control characters in
  // the name escaped).
  void GetJSON(Util_String& json, int idx) const;

  // Debug hook; does nothing.
  void PrintDetails() const {}

private:
  struct DisplayText
  {
    double mValue;
    char mText[kTextLen];
  };

  void InitEnumTexts(const char* name, int defaultValue, int nEnums, const char* label, int flags,
                     const char* group, const char* const* items, int nItems);

  EParamType mType = kTypeNone;
  EParamUnit mUnit = kUnitCustom;
  std::atomic<double> mValue{0.0};
  std::atomic<double> mPrevValue{0.0};
  double mMin = 0.0;
  double mMax = 1.0;
  double mStep = 1.0;
  double mDefault = 0.0;
  int mDisplayPrecision = 0;
  int mFlags = 0;
  bool mInPresets = true;
  bool mInstanceSetting = false;
  char mName[kTextLen] = {};
  char mLabel[kTextLen] = {};
  char mGroup[kTextLen] = {};
  std::unique_ptr<Shape> mShape;
  DisplayFunc mDisplayFunction;
  Util_TypedBuf<DisplayText> mDisplayTexts{128};
};

} // namespace plugin
