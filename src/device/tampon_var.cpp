#include "tampon_var.h"

namespace varnel {

TTamponVar::TTamponVar(Clock clock)
    : m_clock(clock ? std::move(clock) : Clock([] { return std::chrono::steady_clock::now(); })),
      m_items(std::make_unique<std::array<std::int32_t, kSlots>>())
{
    m_items->fill(0);
}

void TTamponVar::fire(const TNVNotifyEvent &event)
{
    if (event)
        event(*this);
}

void TTamponVar::setVide(bool vide)
{
    m_vide = vide;
    fire(ONTableauViderchange);
}

std::uint32_t TTamponVar::fractionOf(TPointerInBuff speed, std::uint32_t n)
{
    std::uint64_t num = 2, den = 3;
    switch (speed) {
    case TPointerInBuff::_1TiersDuBuffer: num = 1; den = 3; break;
    case TPointerInBuff::_1DemiDuBuffer: num = 1; den = 2; break;
    case TPointerInBuff::_2TiersDuBuffer: num = 2; den = 3; break;
    }
    const std::uint64_t p = num * n;
    std::uint64_t q = p / den;
    const std::uint64_t twiceRest = 2 * (p % den);
    if (twiceRest > den || (twiceRest == den && (q & 1u)))
        ++q;
    return std::uint32_t(q);
}

void TTamponVar::Ajout(std::int32_t v)
{
    // The caller sends v at once when the buffer was empty: that write is the
    // exchange whose answer is awaited from now on.
    if (Vide())
        m_lastExchange = m_clock();
    if (m_write >= kWrapAt) {
        m_maxWrite = m_write;
        fire(ONMAX_Pointeur_Writechange);
        m_write = 1;
        (*m_items)[0] = v;
    } else {
        (*m_items)[m_write] = v;
        ++m_write;
    }
    fire(ONPointeur_Writechange);
    setVide(false);
}

std::int32_t TTamponVar::Ajout() const
{
    return m_write > 0 ? (*m_items)[m_write - 1] : 0;
}

std::int32_t TTamponVar::ExtraitReadOnly()
{
    m_lastExchange = m_clock();
    fire(ONPointeur_Readchange);
    if (m_write > 0 && m_write - 1 == m_read)
        setVide(true);
    if (m_read >= kWrapAt) {
        m_maxRead = m_read;
        fire(ONMAX_Pointeur_Readchange);
        m_read = 0;
    } else {
        if (m_read < m_write)
            m_read += fractionOf(m_speed, m_write - m_read);
        else
            m_read = fractionOf(m_speed, m_write);
        if (m_write > 0 && m_read > m_write - 1)
            m_read = m_write - 1;
    }
    return (*m_items)[m_read];
}

bool TTamponVar::Vide()
{
    if (!m_vide && m_clock() - m_lastExchange >= kReleaseAfter)
        Release();
    return m_vide;
}

void TTamponVar::Release()
{
    if (m_vide)
        return;
    // The state an exhausted buffer reaches: the last recorded slot taken.
    if (m_write > 0 && m_read != m_write - 1) {
        m_read = m_write - 1;
        fire(ONPointeur_Readchange);
    }
    setVide(true);
}

}  // namespace varnel
