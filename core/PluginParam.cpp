#include "core/PluginParam.h"

#include "core/TextBuffer.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace
{
constexpr int kMaxPrecision = 6;
// ln(10) / 20: the exponent factor that turns decibels into a gain.
constexpr double kDbToExponent = 0.1151292546497;

// v truncated toward zero, when v is a number whose truncation fits an int. Converting
// anything else to int is undefined, so callers treat it as "no integer value".
bool TruncatedInt(double v, int* out)
{
    const double t = std::trunc(v);
    if (!(t >= static_cast<double>(INT_MIN) && t <= static_cast<double>(INT_MAX)))
        return false;
    *out = static_cast<int>(t);
    return true;
}
} // namespace

PluginParam::PluginParam() : displayTexts_(4096)
{
}

void PluginParam::SetupDouble(const char* name, double defaultValue, double min, double max, double step,
                              const char* label, const char* group, double shape)
{
    if (type_ == kTypeUnset)
        type_ = kTypeDouble;
    CopyText(name_, kTextSize, name);
    CopyText(label_, kTextSize, label);
    CopyText(group_, kTextSize, group);
    min_ = min;
    value_ = defaultValue;
    max_ = max > min + step ? max : min + step;
    step_ = step;
    defaultValue_ = defaultValue;

    // One decimal per power of ten needed to make the step whole, at most six.
    precision_ = 0;
    for (double t = step; t != std::floor(t) && precision_ < kMaxPrecision; t *= 10.0)
        ++precision_;

    SetCurve(shape);
}

void PluginParam::SetupInt(const char* name, int defaultValue, int min, int max, const char* label,
                           const char* group)
{
    if (type_ == kTypeUnset)
        type_ = kTypeInt;
    SetupDouble(name, defaultValue, min, max, 1.0, label, group, 1.0);
}

void PluginParam::SetupEnum(const char* name, int defaultValue, int count, const char* label,
                            const char* group)
{
    if (type_ == kTypeUnset)
        type_ = kTypeEnum;
    // count - 1 in double arithmetic: a count of INT_MIN must not overflow.
    SetupDouble(name, defaultValue, 0.0, static_cast<double>(count) - 1.0, 1.0, label, group, 1.0);
}

void PluginParam::SetupBool(const char* name, bool defaultValue, const char* label, const char* group)
{
    if (type_ == kTypeUnset)
        type_ = kTypeBool;
    SetupEnum(name, defaultValue ? 1 : 0, 2, label, group);
    AddDisplayText(0, "off");
    AddDisplayText(1, "on");
}

void PluginParam::SetCurve(double shape)
{
    if (shape != 0.0)
        shape_ = shape;
}

void PluginParam::SetValue(double value)
{
    if (std::isnan(value))
        return;
    value_ = value < min_ ? min_ : (value > max_ ? max_ : value);
}

void PluginParam::SetFromNormalized(double normalized)
{
    double v = min_ + std::pow(normalized, shape_) * (max_ - min_);
    if (type_ != kTypeDouble)
        v = std::floor(v / step_ + 0.5) * step_;
    // Written so that a NaN result also ends at max: the value never leaves the range
    // from above and never becomes NaN.
    if (!(v < max_))
        v = max_;
    value_ = v;
}

double PluginParam::NormalizeValue(double value) const
{
    if (!(max_ > min_))
        return 0.0;
    const double v = value < min_ ? min_ : (value > max_ ? max_ : value);
    return std::pow((v - min_) / (max_ - min_), 1.0 / shape_);
}

double PluginParam::DenormalizeValue(double normalized) const
{
    return min_ + std::pow(normalized, shape_) * (max_ - min_);
}

void PluginParam::Bounds(double* lo, double* hi) const
{
    if (lo)
        *lo = min_;
    if (hi)
        *hi = max_;
}

double PluginParam::DbToGain() const
{
    return std::exp(value_ * kDbToExponent);
}

const char* PluginParam::UnitLabel() const
{
    int whole = 0;
    if (DisplayTextCount() > 0 && TruncatedInt(value_, &whole) && DisplayTextFor(whole)[0] != '\0')
        return "";
    return label_;
}

void PluginParam::AddDisplayText(int value, const char* text)
{
    DisplayText entry;
    entry.value = value;
    CopyText(entry.text, kTextSize, text);
    displayTexts_.Append(&entry, 1);
}

const char* PluginParam::DisplayTextAt(int index, int* value) const
{
    if (index < 0 || index >= DisplayTextCount())
        return nullptr;
    const DisplayText& entry = displayTexts_.Get()[index];
    if (value)
        *value = entry.value;
    return entry.text;
}

const char* PluginParam::DisplayTextFor(int value) const
{
    const DisplayText* entries = displayTexts_.Get();
    for (int i = 0; i < DisplayTextCount(); ++i)
        if (entries[i].value == value)
            return entries[i].text;
    return "";
}

bool PluginParam::LookUpDisplayText(const char* text, int* value) const
{
    if (!text)
        return false;
    const DisplayText* entries = displayTexts_.Get();
    for (int i = 0; i < DisplayTextCount(); ++i)
        if (std::strcmp(entries[i].text, text) == 0)
        {
            if (value)
                *value = entries[i].value;
            return true;
        }
    return false;
}

void PluginParam::FormatValue(double v, bool normalized, char* out, bool useDisplayText, int outSize) const
{
    if (!out || outSize < 1)
        return;
    if (normalized)
        v = min_ + std::pow(v, shape_) * (max_ - min_);

    int whole = 0;
    if (useDisplayText && DisplayTextCount() > 0 && TruncatedInt(v, &whole))
    {
        const char* text = DisplayTextFor(whole);
        if (text[0] != '\0')
        {
            CopyText(out, outSize, text);
            return;
        }
    }

    if (negateDisplay_)
        v = -v;
    const std::size_t size = static_cast<std::size_t>(outSize);
    if (precision_ == 0)
    {
        // Truncation toward zero; values beyond the int range (and NaN) are written as
        // whole numbers by the floating-point formatter instead of an undefined cast.
        if (TruncatedInt(v, &whole))
            std::snprintf(out, size, "%d", whole);
        else
            std::snprintf(out, size, "%.0f", std::trunc(v));
    }
    else
    {
        std::snprintf(out, size, "%.*f", precision_, v);
    }
}
