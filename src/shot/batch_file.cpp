#include "shot/batch_file.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringDecoder>
#include <map>

#include "files/regular_file.h"
#include "formats/picture_file.h"
#include "shot/shot_options.h"

namespace {

// "a control character (U+XXXX) in the line" for the first one in `text` that is not among
// `allowed`; empty when there is none.
QString ControlIn(const QString& text, QStringView allowed) {
    for (const QChar c : text)
        if (((c < u' ' && !allowed.contains(c)) || c == u'\x7f'))
            return QStringLiteral("a control character (U+%1) in the line")
                .arg(QString::number(c.unicode(), 16).toUpper().rightJustified(4, u'0'));
    return {};
}

}  // namespace

BatchList ParseBatchText(const QString& text, const QString& workingFolder) {
    BatchList list;
    std::map<QString, int> outputs;  // cleaned absolute path -> line
    const QStringList lines = text.split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int number = static_cast<int>(i) + 1;
        const QString line = lines.at(i).trimmed();
        if (line.isEmpty() || line.startsWith(u'#')) continue;
        const auto fail = [&](const QString& why) {
            return BatchList{{}, QStringLiteral("line %1: %2").arg(number).arg(why)};
        };
        // A NUL would cut a name short where the system reads it, so that two lines could
        // name one file; no other control character belongs in an address or a name.
        if (const QString control = ControlIn(line, u"\t\r"); !control.isEmpty())
            return fail(control);
        if (line.size() > kLongestBatchLine)
            return fail(QStringLiteral("longer than %1 characters").arg(kLongestBatchLine));
        // The usual shell-like reading: spaces separate, double quotes keep together.
        const QStringList fields = QProcess::splitCommand(line);
        // Inside quotes a tab or a CR stays in the name, where it has no place either.
        for (const QString& field : fields)
            if (const QString control = ControlIn(field, u""); !control.isEmpty())
                return fail(control);
        if (fields.size() < 2)
            return fail(
                QStringLiteral("ADDRESS OUTPUT expected, %1 field(s) found").arg(fields.size()));
        if (fields.size() > 2 && !fields.at(2).startsWith(u'-'))
            return fail(QStringLiteral("'%1' after OUTPUT is no option").arg(fields.at(2)));
        QString error;
        const std::optional<QUrl> url = AddressToUrl(fields.at(0), workingFolder, &error);
        if (!url) return fail(error);
        if (!PictureFormatForPath(fields.at(1)))
            return fail(QStringLiteral("OUTPUT '%1' does not end in .bmp, .jpg, .jpeg, .gif, "
                                       ".png, .webp, .avif or .pdf")
                            .arg(fields.at(1)));
        const QString output = QDir::cleanPath(QDir(workingFolder).absoluteFilePath(fields.at(1)));
        if (const auto seen = outputs.find(output); seen != outputs.end())
            return fail(QStringLiteral("OUTPUT '%1' is written by line %2 already")
                            .arg(fields.at(1))
                            .arg(seen->second));
        outputs.emplace(output, number);
        list.pages.push_back(BatchPage{number, *url, output, fields.mid(2)});
    }
    if (list.pages.empty()) list.error = QStringLiteral("no pages in the batch");
    return list;
}

BatchList ReadBatchFile(const QString& path, const QString& workingFolder) {
    const RegularFile file = OpenRegularFileOrPipe(path, kLargestBatchFile);
    if (!file.file) return {{}, QStringLiteral("cannot read the batch file: %1").arg(file.reason)};
    const QByteArray bytes = file.file->read(kLargestBatchFile + 1);
    if (bytes.size() > kLargestBatchFile)
        return {
            {},
            QStringLiteral("the batch file is larger than %1 MiB").arg(kLargestBatchFile >> 20)};
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    if (utf8.hasError()) return {{}, QStringLiteral("the batch file is not UTF-8 text")};
    return ParseBatchText(text, workingFolder);
}
