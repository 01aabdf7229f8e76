#pragma once
// FakePictureDevice: an in-process device for the transfer workers, installed as
// the driver's serial transport (`driver.setTransport(CON_RS232, ...)`). It
// answers "6LM" and the records the PC sends, stores the picture it receives,
// serves it back to a retrieval (groups of 32), and hands every answer to the
// driver through the event loop, as a real transport does. Knobs: `refuse`
// chooses records to answer with ".0" (by count and content), `silentFrom` stops
// answering, `splitAnswers` delivers answers a character at a time, `onRecord`
// sees each record (count, text), `linesInDelivery` counts the lines the PC
// wrote from inside the delivery of an answer.
// Every call is checked to come on the thread that created the device.

#include "transfer_record.h"
#include "vrk_610_d.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>

#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace varnel::logos::test {

class FakePictureDevice : public LinkTransport {
public:
    FakePictureDevice() : m_owner(std::this_thread::get_id()) {}

    void write(std::string_view text) override
    {
        check();
        m_in.append(text);
        if (!m_raw) {
            if (m_in.find("6LM") != std::string::npos) {
                m_in.clear();
                m_raw = true;
                answer(".1\r");
            }
            return;
        }
        for (std::size_t end = m_in.find("\r\n"); end != std::string::npos; end = m_in.find("\r\n")) {
            const std::string line = m_in.substr(0, end);
            m_in.erase(0, end + 2);
            handle(line);
        }
    }
    void open() override { check(); }
    void close() override { check(); }
    bool isOpen() const override { return true; }
    void setBaudRate(std::uint32_t rate) override
    {
        check();
        baud = rate;
        bauds.push_back(rate);
    }

    // stored picture (R, G, B bytes)
    int width = 0, frameHeight = 0, frames = 0;
    std::vector<std::uint8_t> rgb;
    bool complete = false;
    bool aborted = false;
    std::uint32_t baud = 9600;
    std::vector<std::uint32_t> bauds;
    int records = 0;
    int linesInDelivery = 0;  ///< lines (records or replies) written while an answer was being delivered
    bool wrongThread = false;

    std::function<bool(int, const TransferMessage &)> refuse;  ///< answer ".0" when true
    int silentFrom = 0;
    bool splitAnswers = false;  ///< deliver every answer one character at a time
    std::function<void(int, const std::string &)> onRecord;

private:
    void check()
    {
        if (std::this_thread::get_id() != m_owner)
            wrongThread = true;
    }
    void answer(std::string text)
    {
        if (splitAnswers && text.size() > 1) {
            for (char c : text)
                answerPiece(std::string(1, c));
            return;
        }
        answerPiece(std::move(text));
    }
    void answerPiece(std::string text)
    {
        QMetaObject::invokeMethod(
            &m_context,  // dropped with the device
            [this, text] {
                m_delivering = true;
                if (LinkHost *h = host())
                    h->linkReceived(*this, text);
                m_delivering = false;
            },
            Qt::QueuedConnection);
    }
    void handle(const std::string &line)
    {
        if (m_delivering)
            ++linesInDelivery;
        if (line == ".1\r" || line == ".0\r") {
            if (m_serving)
                serveNext(line == ".1\r");
            return;
        }
        TransferMessage m;
        if (!ParseRecord(line, m))
            return;
        ++records;
        if (onRecord)
            onRecord(records, line);
        if (silentFrom && records >= silentFrom)
            return;
        if (refuse && refuse(records, m)) {
            answer(".0\r");
            return;
        }
        const auto d = m.bytes();
        if (m.type == kTypeControl && m.parameter == kCtlSize) {
            width = (d[0] << 8) | d[1];
            frameHeight = (d[2] << 8) | d[3];
        } else if (m.type == kTypeControl && m.parameter == kCtlFrames) {
            frames = d[0];
        } else if (m.type == kTypeControl && m.parameter == kCtlBegin) {
            rgb.clear();
            complete = false;
        } else if (m.type == kTypeControl && m.parameter == kCtlRequest) {
            m_serving = true;
            m_step = 0;
            m_cursor = 0;
            const std::uint8_t size[] = {std::uint8_t(width >> 8), std::uint8_t(width), std::uint8_t(frameHeight >> 8),
                                         std::uint8_t(frameHeight)};
            answer(BuildRecord(kTypeControl, kCtlSize, size) + "\r");
            return;
        } else if (m.type == kTypeData) {
            const int c = (m.parameter & kComponentMask) - 1;
            m_parts[std::size_t(c)] = (m.parameter & kRunLengthCoded) ? DecodeRunLength(d, 32)
                                                                    : std::vector<std::uint8_t>(d.begin(), d.end());
            if (m.parameter & kGroupClose) {
                m_previous.clear();
                for (std::size_t i = 0; i < m_parts[2].size(); ++i)
                    for (int k = 0; k < 3; ++k)
                        m_previous.push_back(m_parts[std::size_t(k)][i]);
                rgb.insert(rgb.end(), m_previous.begin(), m_previous.end());
            }
        } else if (m.type == kTypeRepeat) {
            for (int r = 0; r < m.parameter; ++r)
                rgb.insert(rgb.end(), m_previous.begin(), m_previous.end());
        } else if (m.type == kTypeEnd) {
            complete = true;
            m_raw = false;
            return;  // no answer
        } else if (m.type == kTypeAbort) {
            aborted = true;
            m_raw = false;
            return;
        }
        answer(".1\r");
    }
    void serveNext(bool ack)
    {
        if (!ack) {
            m_serving = false;
            m_raw = false;
            return;
        }
        if (m_step == 0) {
            m_step = 1;
            const std::uint8_t f[] = {std::uint8_t(frames), 0, 0};
            answer(BuildRecord(kTypeControl, kCtlFrames, f) + "\r");
            return;
        }
        const std::size_t total = rgb.size() / 3;
        if (m_cursor >= total) {
            answer(BuildRecord(kTypeEnd, 0) + "\r");
            m_serving = false;
            m_raw = false;
            return;
        }
        const std::size_t n = std::min<std::size_t>(32, total - m_cursor);
        std::vector<std::uint8_t> data(n);
        const int k = m_component;
        for (std::size_t i = 0; i < n; ++i)
            data[i] = rgb[(m_cursor + i) * 3 + std::size_t(k)];
        answer(BuildRecord(kTypeData, std::uint16_t((k + 1) | (k == 2 ? kGroupClose : 0)), data) + "\r");
        if (++m_component == 3) {
            m_component = 0;
            m_cursor += n;
        }
    }

    QObject m_context;
    std::thread::id m_owner;
    bool m_delivering = false;
    std::string m_in;
    bool m_raw = false;
    bool m_serving = false;
    int m_step = 0;
    int m_component = 0;
    std::size_t m_cursor = 0;
    std::array<std::vector<std::uint8_t>, 3> m_parts;
    std::vector<std::uint8_t> m_previous;
};

}  // namespace varnel::logos::test
