#include "platform/files/FreeSpace.h"

#include <QFileInfo>
#include <QStorageInfo>

namespace qel::platform {

std::int64_t freeSpace(const std::string& folder) {
    const QString path = QString::fromStdString(folder);
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isDir() || !info.isReadable())
        return -1;
    const QStorageInfo volume(path);
    if (!volume.isValid() || !volume.isReady())
        return -1;
    return volume.bytesAvailable();
}

} // namespace qel::platform
