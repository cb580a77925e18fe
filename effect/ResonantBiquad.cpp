#include "effect/ResonantBiquad.h"

#include <cmath>

void ResonantBiquad::Configure(double frequency, double gain, double q, BiquadType type, int sampleRate)
{
    frequency_ = frequency;
    q_ = q;
    type_ = type;
    gain_ = gain;
    sampleRate_ = static_cast<double>(sampleRate);

    // The product is formed first, then divided: the exact figures of the effect depend
    // on this order.
    const double w = frequency * 6.283185307179586 / sampleRate_;
    const double alpha = std::sin(w) / (q * 2.0);
    const double c = std::cos(w);
    // Square root of the gain value; a negative gain gives NaN for the types that use it.
    const double A = std::sqrt(gain);

    double a0;
    switch (type)
    {
    case BiquadType::LowPass:
        a0 = 1.0 + alpha;
        b0_ = (1.0 - c) * 0.5 / a0;
        b1_ = (1.0 - c) / a0;
        b2_ = b0_;
        a1_ = -2.0 * c / a0;
        a2_ = (1.0 - alpha) / a0;
        break;
    case BiquadType::HighPass:
        a0 = 1.0 + alpha;
        b0_ = (1.0 + c) * 0.5 / a0;
        b1_ = -(1.0 + c) / a0;
        b2_ = b0_;
        a1_ = -2.0 * c / a0;
        a2_ = (1.0 - alpha) / a0;
        break;
    case BiquadType::LowShelf:
    {
        // The term around each bracket is 2*A*alpha with A the square root of the gain.
        const double twoAAlpha = 2.0 * A * alpha;
        a0 = (A + 1.0) + (A - 1.0) * c + twoAAlpha;
        b0_ = A * ((A + 1.0) - (A - 1.0) * c + twoAAlpha) / a0;
        b1_ = 2.0 * A * ((A - 1.0) - (A + 1.0) * c) / a0;
        b2_ = A * ((A + 1.0) - (A - 1.0) * c - twoAAlpha) / a0;
        a1_ = -2.0 * ((A - 1.0) + (A + 1.0) * c) / a0;
        a2_ = ((A + 1.0) + (A - 1.0) * c - twoAAlpha) / a0;
        break;
    }
    case BiquadType::HighShelf:
    {
        const double twoAAlpha = 2.0 * A * alpha;
        a0 = (A + 1.0) - (A - 1.0) * c + twoAAlpha;
        b0_ = A * ((A + 1.0) + (A - 1.0) * c + twoAAlpha) / a0;
        b1_ = -2.0 * A * ((A - 1.0) + (A + 1.0) * c) / a0;
        b2_ = A * ((A + 1.0) + (A - 1.0) * c - twoAAlpha) / a0;
        a1_ = 2.0 * ((A - 1.0) - (A + 1.0) * c) / a0;
        a2_ = ((A + 1.0) - (A - 1.0) * c - twoAAlpha) / a0;
        break;
    }
    case BiquadType::BandPassSkirt:
        a0 = 1.0 + alpha;
        b0_ = alpha * q / a0;
        b1_ = 0.0;
        b2_ = -alpha * q / a0;
        a1_ = -2.0 * c / a0;
        a2_ = (1.0 - alpha) / a0;
        break;
    case BiquadType::BandPassPeak:
        a0 = 1.0 + alpha;
        b0_ = alpha / a0;
        b1_ = 0.0;
        b2_ = -alpha / a0;
        a1_ = -2.0 * c / a0;
        a2_ = (1.0 - alpha) / a0;
        break;
    case BiquadType::Notch:
        a0 = 1.0 + alpha;
        b0_ = 1.0 / a0;
        b1_ = -2.0 * c / a0;
        b2_ = 1.0 / a0;
        a1_ = -2.0 * c / a0;
        a2_ = (1.0 - alpha) / a0;
        break;
    case BiquadType::Peaking:
        a0 = 1.0 + alpha / A;
        b0_ = (1.0 + alpha * A) / a0;
        b1_ = -2.0 * c / a0;
        b2_ = (1.0 - alpha * A) / a0;
        a1_ = -2.0 * c / a0;
        a2_ = (1.0 - alpha / A) / a0;
        break;
    case BiquadType::AllPass:
        a0 = 1.0 + alpha;
        b0_ = (1.0 - alpha) / a0;
        b1_ = -2.0 * c / a0;
        b2_ = (1.0 + alpha) / a0;
        a1_ = -2.0 * c / a0;
        a2_ = (1.0 - alpha) / a0;
        break;
    default:
        // Unknown type: the coefficients stay as they were.
        break;
    }
}
