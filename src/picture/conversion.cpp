#include "conversion.h"

#include <cmath>
#include <stdexcept>

namespace varnel::picture {

namespace {

int checkedSub(int a, int b)
{
    int r = 0;
    if (__builtin_sub_overflow(a, b, &r))
        throw std::overflow_error("Integer overflow");
    return r;
}

int checkedMul(int a, int b)
{
    int r = 0;
    if (__builtin_mul_overflow(a, b, &r))
        throw std::overflow_error("Integer overflow");
    return r;
}

// Nearest integer, halves away from zero.
long long roundHalfAway(long double x)
{
    return std::llround(x);
}

}  // namespace

std::string TConversion::PositionDriver(int value) const
{
    if (m_minDriver == m_maxDriver)
        return "0";
    const long double x = static_cast<long double>(checkedSub(m_maxAffichage, m_minAffichage)) /
                              static_cast<long double>(checkedSub(m_maxDriver, m_minDriver)) * value +
                          m_minAffichage;
    // Three significant digits cover every configured range; a wider one still
    // shows its whole integer rather than an exponent.
    return std::to_string(roundHalfAway(x));
}

int TConversion::PositionAffichage(int displayed) const
{
    const int displayRange = checkedSub(m_maxAffichage, m_minAffichage);
    if (displayed < m_minAffichage || displayed > m_maxAffichage)
        displayed = static_cast<int>(roundHalfAway(m_minAffichage + static_cast<long double>(displayRange) / 2));
    if (m_minAffichage == m_maxAffichage)
        return 0;
    const int product = checkedMul(checkedSub(displayed, m_minAffichage), checkedSub(m_maxDriver, m_minDriver));
    return static_cast<int>(roundHalfAway(static_cast<long double>(product) / displayRange));
}

}  // namespace varnel::picture
