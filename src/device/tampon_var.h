#pragma once
// TTamponVar: the write pacing buffer of one slider. A dragged slider produces far
// more positions than the device can take; the first position is sent at once,
// later ones are only recorded here, and each report of the register takes one
// recorded position (skipping part of the backlog) to send next.
//
// Calling pattern for a paced register:
//   on a move to v:   if (buf.Vide()) write v;  buf.Ajout(v);
//   on its report:    refresh the display; if (!buf.Vide()) write buf.ExtraitReadOnly();
//
// A buffer whose answer never comes (a lost or out-of-range report) would stay
// non-empty for ever and its slider would never send again; so the buffer counts
// as empty once kReleaseAfter has passed since the last exchange without a take,
// and the owner calls Release() when the link's Connected state changes.
//
// Plain C++, no device knowledge; the clock is injectable for tests.

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

namespace varnel {

class TTamponVar;

/// The form of the buffer's events: a function taking the sender.
using TNVNotifyEvent = std::function<void(TTamponVar &sender)>;

/// Fraction of the backlog skipped at each take.
enum class TPointerInBuff : std::uint8_t {
    _1TiersDuBuffer = 0,  ///< one third
    _1DemiDuBuffer = 1,   ///< one half
    _2TiersDuBuffer = 2,  ///< two thirds (default)
};

class TTamponVar {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    static constexpr std::uint32_t kSlots = 65536;
    static constexpr std::uint32_t kWrapAt = 65535;
    static constexpr std::chrono::milliseconds kReleaseAfter{1000};

    /// `clock` defaults to std::chrono::steady_clock::now.
    explicit TTamponVar(Clock clock = {});
    TTamponVar(const TTamponVar &) = delete;
    TTamponVar &operator=(const TTamponVar &) = delete;

    /// Records v (the "Ajout := v" write).
    void Ajout(std::int32_t v);
    /// The last recorded value (slot Pointeur_Write - 1), or 0 when nothing was recorded.
    std::int32_t Ajout() const;
    /// Takes one recorded value, skipping the fraction `Speed` of the backlog.
    std::int32_t ExtraitReadOnly();

    /// True when every recorded value has been taken, or when the exchange has
    /// been silent for kReleaseAfter (the buffer is then released, see Release()).
    bool Vide();
    /// The flag as stored, without the silence check.
    bool VideFlag() const { return m_vide; }

    /// Forgets the backlog: the buffer becomes empty as if the last recorded value
    /// had been taken. Positions stay where they are (they only move forward).
    void Release();

    std::uint32_t Pointeur_Write() const { return m_write; }
    std::uint32_t Pointeur_Read() const { return m_read; }
    std::uint32_t MAX_pointeur_Write() const { return m_maxWrite; }
    std::uint32_t MAX_pointeur_Read() const { return m_maxRead; }
    TPointerInBuff Speed() const { return m_speed; }
    void setSpeed(TPointerInBuff speed) { m_speed = speed; }
    std::int32_t slot(std::uint32_t i) const { return (*m_items)[i % kSlots]; }

    TNVNotifyEvent ONTableauViderchange;
    TNVNotifyEvent ONPointeur_Writechange;
    TNVNotifyEvent ONPointeur_Readchange;
    TNVNotifyEvent ONMAX_Pointeur_Writechange;
    TNVNotifyEvent ONMAX_Pointeur_Readchange;

    /// round(f * n) for the fraction of `speed`, halves to even (exact, integer only).
    static std::uint32_t fractionOf(TPointerInBuff speed, std::uint32_t n);

private:
    void fire(const TNVNotifyEvent &event);
    void setVide(bool vide);

    Clock m_clock;
    std::unique_ptr<std::array<std::int32_t, kSlots>> m_items;
    std::uint32_t m_write = 0;
    std::uint32_t m_read = 0;
    std::uint32_t m_maxWrite = 0;
    std::uint32_t m_maxRead = 0;
    bool m_vide = true;
    TPointerInBuff m_speed = TPointerInBuff::_2TiersDuBuffer;
    std::chrono::steady_clock::time_point m_lastExchange{};
};

}  // namespace varnel
