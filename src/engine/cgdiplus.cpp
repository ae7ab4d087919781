#include "engine/cgdiplus.h"

#include "formats/png_encoders.h"

cGdiPlus::cGdiPlus() : cGdiPlus(gdi::QtImageEncoders()) {}

cGdiPlus::cGdiPlus(gdi::ImageEncoders& service) : service_(service) {
    std::uintptr_t token = 0;
    const int status = service_.GdiplusStartup(token);
    if (status == gdi::kOk) {
        lToken = token;
        LoadEncoders();
    } else {
        RaiseError(status);
    }
}

cGdiPlus::~cGdiPlus() {
    if (lToken != 0) service_.GdiplusShutdown(lToken);
}

void cGdiPlus::LoadEncoders() {
    int n = 0;
    int status = service_.GdipGetImageEncodersSize(n);
    if (status != gdi::kOk) return RaiseError(status);
    std::vector<gdi::ImageCodecInfo> records;
    status = service_.GdipGetImageEncoders(n, records);
    if (status != gdi::kOk) return RaiseError(status);
    n = std::min(n, static_cast<int>(records.size()));
    aEncoderClsid.assign(static_cast<size_t>(n), QUuid());
    cExtensionIndex.emplace();
    for (int k = n - 1; k >= 0; --k) {
        aEncoderClsid[static_cast<size_t>(k)] = records[static_cast<size_t>(k)].Clsid;
        AddExtensions(records[static_cast<size_t>(k)].FilenameExtension, u';', k);
    }
}

void cGdiPlus::AddExtensions(const QString& list, QChar separator, int k) {
    const QStringList pieces = list.split(separator);
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        // The last piece may carry spaces and may be empty after a trailing separator.
        const QString key = i + 1 < pieces.size() ? pieces[i] : pieces[i].trimmed();
        if (i + 1 == pieces.size() && key.isEmpty()) continue;
        // A pattern already listed keeps its first encoder.
        if (!cExtensionIndex->contains(key.toLower())) cExtensionIndex->insert(key.toLower(), k);
    }
}

int cGdiPlus::EncoderIndex(const QString& pattern) const {
    if (!cExtensionIndex) return -1;
    return cExtensionIndex->value(pattern.toLower(), -1);
}

QString cGdiPlus::FileExtension(const QString& path) {
    const qsizetype dot = path.lastIndexOf(u'.');
    if (dot < 0) return {};
    const QString after = path.mid(dot + 1);
    // A separator after the dot: the dot was in a folder's name.
    if (after.contains(u'\\') || after.contains(u'/')) return {};
    return after;
}

bool cGdiPlus::PictureBoxToFile(const QImage& pic, const QString& sFilename, int lQuality) {
    const QString ext = FileExtension(sFilename);
    const int k = EncoderIndex(QStringLiteral("*.") + ext);
    if (k < 0 || k >= static_cast<int>(aEncoderClsid.size())) return false;

    QImage image;
    int status = service_.GdipCreateBitmapFromPicture(pic, image);
    if (status == gdi::kOk) {
        const QUuid& clsid = aEncoderClsid[static_cast<size_t>(k)];
        if (ext.startsWith(u'J', Qt::CaseInsensitive)) {
            const std::vector<gdi::EncoderParameter> quality{
                gdi::EncoderParameter{gdi::kEncoderQuality, 1, 4, lQuality}};
            status = service_.GdipSaveImageToFile(image, sFilename, clsid, &quality);
        } else {
            status = service_.GdipSaveImageToFile(image, sFilename, clsid, nullptr);
        }
        if (status == gdi::kOk) return true;
    }
    RaiseError(status);
    return false;
}

void cGdiPlus::RaiseError(int status) {
    Q_EMIT Error(status, GdiErrorString(status));
}

QString cGdiPlus::GdiErrorString(int lError) {
    static const char* const kTexts[] = {"Generic Error",
                                         "Invalid Parameter",
                                         "Out Of Memory",
                                         "Object Busy",
                                         "Insufficient Buffer",
                                         "Not Implemented",
                                         "Win32 Error",
                                         "Wrong State",
                                         "Aborted",
                                         "File Not Found",
                                         "Value Overflow",
                                         "Access Denied",
                                         "Unknown Image Format",
                                         "FontFamily Not Found",
                                         "FontStyle Not Found",
                                         "Not TrueType Font",
                                         "Unsupported Gdiplus Version",
                                         "Gdiplus Not Initialized",
                                         "Property Not Found",
                                         "Property Not Supported"};
    if (lError >= 1 && lError <= 20) return QString::fromLatin1(kTexts[lError - 1]);
    return QStringLiteral("Unknown GDI+ Error");
}
