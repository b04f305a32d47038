#include "workflows/FileDateText.h"

#include <QDateTime>
#include <QLocale>

namespace qel {

std::string formatDosDateTime(std::uint32_t packed) {
    const QDate date(1980 + static_cast<int>(packed >> 25), static_cast<int>((packed >> 21) & 0x0F),
                     static_cast<int>((packed >> 16) & 0x1F));
    const QTime time(static_cast<int>((packed >> 11) & 0x1F),
                     static_cast<int>((packed >> 5) & 0x3F), static_cast<int>((packed & 0x1F) * 2));
    if (!date.isValid() || !time.isValid())
        return "";
    const QLocale locale;
    return (locale.toString(date, QLocale::ShortFormat) + " " +
            locale.toString(time, QLocale::LongFormat))
        .toStdString();
}

} // namespace qel
