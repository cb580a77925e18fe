#pragma once
// PluginParam: one automatable parameter: its kind, range, step, response curve, current
// plain value, texts for hosts and an optional table of display texts for discrete values.
//
// Hosts see a normalized value in [0, 1]; the effect reads the plain value in the
// parameter's own unit. The two are related by a power curve over the linear range:
//     plain = min + normalized^shape * (max - min)
// A parameter has no lock of its own: every change, and every read that must be
// consistent, happens under the owning plug-in's instance lock (PluginBase::Mutex).

#include "core/GrowBuffer.h"

#include <cstdint>

// One entry of a parameter's display-text table (36 bytes).
struct DisplayText
{
    int32_t value;
    char text[32]; // NUL-terminated, at most 31 characters
};
static_assert(sizeof(DisplayText) == 36, "DisplayText is 36 bytes");

class PluginParam
{
public:
    // Kind codes.
    enum ParamType : int32_t
    {
        kTypeUnset = 0,
        kTypeBool = 1,
        kTypeInt = 2,
        kTypeEnum = 3,
        kTypeDouble = 4,
    };

    // Size of the name, label and group fields and of a display text, terminator included.
    static constexpr int kTextSize = 32;
    // Size of the area FormatValue writes unless told otherwise.
    static constexpr int kFormatSize = 32;

    // Default state: unset kind, value 0 in [0, 1], step 1, linear, no texts.
    PluginParam();
    PluginParam(const PluginParam&) = delete;
    PluginParam& operator=(const PluginParam&) = delete;

    // Initialisation. Each sets the kind only when it is still unset. Texts longer than 31
    // characters are truncated to fit their fields. The value is set to the default without
    // clamping; max is raised to min + step when it is lower.
    void SetupDouble(const char* name, double defaultValue, double min, double max, double step,
                     const char* label = "", const char* group = "", double shape = 1.0);
    void SetupInt(const char* name, int defaultValue, int min, int max, const char* label = "",
                  const char* group = "");
    // Values 0 .. count - 1.
    void SetupEnum(const char* name, int defaultValue, int count, const char* label = "",
                   const char* group = "");
    // Values 0 and 1, shown as "off" and "on".
    void SetupBool(const char* name, bool defaultValue, const char* label = "", const char* group = "");
    // Sets the curve exponent unless shape is 0 (1 is linear).
    void SetCurve(double shape);

    // Plain value, clamped to [min, max]. A NaN leaves the value unchanged, so no NaN ever
    // becomes a parameter's value; infinities clamp like any other value.
    void SetValue(double value);
    double Value() const { return value_; }
    // value = min + n^shape * (max - min); kinds other than real round to the nearest
    // multiple of the step (halves upwards); a result not below max becomes max. No lower
    // clamp: n outside [0, 1] is the caller's to prevent.
    void SetFromNormalized(double normalized);
    double AsNormalized() const { return NormalizeValue(value_); }
    // ((clamp(v) - min) / (max - min))^(1 / shape); 0 when the range is empty.
    double NormalizeValue(double value) const;
    // min + n^shape * (max - min), no rounding, no clamping.
    double DenormalizeValue(double normalized) const;
    void Bounds(double* lo, double* hi) const;
    // The plain value read as decibels, as a linear gain factor.
    double DbToGain() const;

    int Type() const { return type_; }
    double Min() const { return min_; }
    double Max() const { return max_; }
    double Step() const { return step_; }
    double Shape() const { return shape_; }
    double DefaultValue() const { return defaultValue_; }
    int Precision() const { return precision_; }
    bool NegateDisplay() const { return negateDisplay_; }
    void SetNegateDisplay(bool negate) { negateDisplay_ = negate; }
    bool Automatable() const { return automatable_; }
    void SetAutomatable(bool automatable) { automatable_ = automatable; }

    const char* ParamName() const { return name_; }
    const char* GroupName() const { return group_; }
    // The empty text when the current value (truncated to an integer) has a non-empty
    // display text, else the label.
    const char* UnitLabel() const;

    // Appends a display text (truncated to 31 characters).
    void AddDisplayText(int value, const char* text);
    int DisplayTextCount() const { return displayTexts_.Count(); }
    // Text of entry index and, when asked, its value; none for an index outside the table.
    const char* DisplayTextAt(int index, int* value = nullptr) const;
    // Text of the first entry with that value, or the empty text.
    const char* DisplayTextFor(int value) const;
    // Finds the first entry whose text equals text exactly (case-sensitive); writes its
    // value and answers true, else answers false and writes nothing.
    bool LookUpDisplayText(const char* text, int* value) const;

    // Writes v (a normalized value when normalized is set) as text: its display text when
    // useDisplayText is set and one exists for v truncated to an integer, else the number
    // (negated when negateDisplay is set) with `precision` decimals, or truncated toward
    // zero when the precision is 0. out holds outSize bytes; the text is truncated to fit
    // and always terminated.
    void FormatValue(double v, bool normalized, char* out, bool useDisplayText,
                     int outSize = kFormatSize) const;
    void FormatCurrent(char* out, int outSize = kFormatSize) const
    {
        FormatValue(value_, false, out, true, outSize);
    }

private:
    int32_t type_ = kTypeUnset;
    double value_ = 0.0;
    double min_ = 0.0;
    double max_ = 1.0;
    double step_ = 1.0;
    double shape_ = 1.0;
    double defaultValue_ = 0.0;
    int32_t precision_ = 0;
    char name_[kTextSize] = {};
    char label_[kTextSize] = {};
    char group_[kTextSize] = {};
    bool negateDisplay_ = false;
    bool automatable_ = true;
    GrowBuffer<DisplayText> displayTexts_;
};
