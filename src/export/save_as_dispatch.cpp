#include "export/save_as_dispatch.h"

QString SaveNamePart(const QString& path) {
    const qsizetype cut = std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\'));
    return path.mid(cut + 1);
}

QString SaveNameEnding(const QString& path) {
    return SaveNamePart(path).right(4).toLower();
}

SaveWriter WriterForName(const QString& path) {
    const QString ending = SaveNameEnding(path);
    if (ending == u".bmp") return SaveWriter::Bmp;
    if (ending == u".jpg") return SaveWriter::Jpg;
    if (ending == u".gif") return SaveWriter::Gif;
    if (ending == u".png") return SaveWriter::Png;
    return SaveWriter::None;
}
