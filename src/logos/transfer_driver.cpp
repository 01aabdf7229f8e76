#include "transfer_driver.h"

namespace varnel::logos {

void DirectTransferDriver::hookReceive(std::function<void(std::string)> onText)
{
    if (!m_hooked) {  // a second hook keeps the first saved handler
        m_saved = m_driver.handler(Event::OnRecString);
        m_hooked = true;
    }
    m_driver.setHandler(Event::OnRecString, [onText = std::move(onText)](TVRK_610_d &d, int) {
        std::string text = d.TakeRawString();
        if (!text.empty())
            onText(std::move(text));
    });
}

void DirectTransferDriver::restoreReceive()
{
    if (!m_hooked)
        return;
    m_driver.setHandler(Event::OnRecString, m_saved);
    m_saved = {};
    m_hooked = false;
}

}  // namespace varnel::logos
