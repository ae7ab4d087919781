#include "engine/save_as_dispatch.h"

QString SaveNamePart(const QString& path) {
    const qsizetype cut = std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\'));
    return path.mid(cut + 1);
}

QString SaveNameEnding(const QString& path) {
    return SaveNamePart(path).right(4).toLower();
}

SaveWriter WriterForName(const QString& path) {
    const QString name = SaveNamePart(path);
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot < 0) return SaveWriter::None;
    const QString ending = name.mid(dot).toLower();
    if (ending == u".bmp") return SaveWriter::Bmp;
    if (ending == u".jpg" || ending == u".jpeg" || ending == u".jpe") return SaveWriter::Jpg;
    if (ending == u".gif") return SaveWriter::Gif;
    if (ending == u".png") return SaveWriter::Png;
    return SaveWriter::None;
}
