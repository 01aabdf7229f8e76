#pragma once
// TConversion: maps a register's device value to the number shown to the operator
// and back (for example device 0..255 shown as -128..127).

#include <cstdint>
#include <string>

namespace varnel::picture {

class TConversion {
public:
    TConversion() = default;
    TConversion(int minDriver, int maxDriver, int minAffichage, int maxAffichage)
        : m_minDriver(minDriver), m_maxDriver(maxDriver), m_minAffichage(minAffichage), m_maxAffichage(maxAffichage)
    {
    }

    /// The displayed text of a device value: rounded to the nearest integer,
    /// halves away from zero ("105.5" shows "106"). Throws std::overflow_error
    /// when a difference of the limits does not fit 32 bits.
    std::string PositionDriver(int value) const;
    /// The device value of a displayed value; a value outside the displayed range
    /// is replaced by the middle of that range. Throws std::overflow_error when a
    /// difference or the product does not fit 32 bits.
    int PositionAffichage(int displayed) const;

    int ValMinDriver() const { return m_minDriver; }
    int ValMaxDriver() const { return m_maxDriver; }
    int ValMinAffichage() const { return m_minAffichage; }
    int ValMaxAffichage() const { return m_maxAffichage; }
    void setValMinDriver(int v) { m_minDriver = v; }
    void setValMaxDriver(int v) { m_maxDriver = v; }
    void setValMinAffichage(int v) { m_minAffichage = v; }
    void setValMaxAffichage(int v) { m_maxAffichage = v; }

    /// Device 0..255 shown as -128..127.
    static TConversion Conversion1() { return {0, 255, -128, 127}; }
    /// Device 0..200 shown as 100..200 (zoom in percent).
    static TConversion Conversion_Zoom() { return {0, 200, 100, 200}; }

private:
    int m_minDriver = 0;
    int m_maxDriver = 255;
    int m_minAffichage = -128;
    int m_maxAffichage = 127;
};

}  // namespace varnel::picture
