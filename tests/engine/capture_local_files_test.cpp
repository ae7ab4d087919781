// A page opened from a local file, as glimpa-shot and the browser window open it: its
// own image loads, but its scripts read no other local file into the picture, whichever
// way they try.
#include <QImage>
#include <QTest>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include "engine/capture_engine.h"
#include "files/program_folder.h"
#include "support/capture_pages.h"
#include "support/shoot_and_wait.h"
#include "support/test_main.h"

using namespace capturepages;

namespace {

// A square of `own.png` (green), then a square the page's script colours once it tried
// to read `secret.txt` beside it: red when any read got the text, green (lime) when none did.
QString ReadingPage(const QString& how) {
    return QStringLiteral(R"(<!doctype html>
<body style="margin:0;background:#fff">
<img src="own.png" style="display:block;width:100px;height:100px">
<div id="verdict" style="width:100px;height:100px;background:#fff"></div>
<iframe id="frame" style="display:none"></iframe>
<script>
const how = '%1';
const verdict = (leaked) => {
    document.getElementById('verdict').style.background = leaked ? 'red' : 'lime';
};
const holds = (text) => typeof text === 'string' && text.includes('the secret');
addEventListener('load', () => {
    if (how === 'fetch') {
        fetch('secret.txt').then((r) => r.text()).then((t) => verdict(holds(t)),
                                                         () => verdict(false));
    } else if (how === 'xhr') {
        let leaked = false;
        try {
            const x = new XMLHttpRequest();
            x.open('GET', 'secret.txt', false);
            x.send();
            leaked = holds(x.responseText);
        } catch (e) {}
        verdict(leaked);
    } else if (how === 'navigate') {
        // Refused, the page stays and says so; let through, the text stands in its place.
        setTimeout(() => verdict(false), 1000);
        location.href = 'secret.txt';
    } else {
        const frame = document.getElementById('frame');
        frame.onload = () => {
            let leaked = false;
            try { leaked = holds(frame.contentDocument.body.textContent); } catch (e) {}
            verdict(leaked);
        };
        frame.src = how === 'link' ? 'secret-link.html' : 'secret.txt';
    }
});
</script>)")
        .arg(how);
}

}  // namespace

class CaptureLocalFilesTest : public QObject {
    Q_OBJECT
    QWebEngineProfile* profile_ = nullptr;

    // One screen of 400 x 300 of the page at `address`, as the engine takes it.
    ShotResult Shoot(const QString& address) {
        CaptureEngine engine(profile_);
        ShotRequest request;
        request.address = QUrl(address);
        request.width = 400;
        request.screenHeight = 300;
        request.screens = 1;
        return ShootAndWait(engine, request);
    }

  private Q_SLOTS:
    void initTestCase() {
        profile_ = new QWebEngineProfile(this);
        QImage own(100, 100, QImage::Format_RGB32);
        own.fill(Qt::green);
        QVERIFY(own.save(AppFile(QStringLiteral("own.png"))));
        QFile secret(AppFile(QStringLiteral("secret.txt")));
        QVERIFY(secret.open(QIODevice::WriteOnly) && secret.write("the secret\n") > 0);
        QFile::remove(AppFile(QStringLiteral("secret-link.html")));
        QVERIFY(QFile::link(AppFile(QStringLiteral("secret.txt")),
                            AppFile(QStringLiteral("secret-link.html"))));
    }

    void scriptsReadNoOtherFile_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("fetch") << "fetch";
        QTest::newRow("synchronous XMLHttpRequest") << "xhr";
        QTest::newRow("a frame's document") << "frame";
        QTest::newRow("a frame of a link named .html") << "link";
        QTest::newRow("the page sends itself there") << "navigate";
    }
    void scriptsReadNoOtherFile() {
        QFETCH(QString, how);
        const ShotResult result = Shoot(WritePage("reads-" + how + ".html", ReadingPage(how)));
        // A refused navigation may end the load itself: then there is no picture at all,
        // and so nothing of the file.
        if (how == "navigate" && result.status == ShotStatus::LoadFailed) {
            QVERIFY(result.picture.isNull());
            return;
        }
        QCOMPARE(result.status, ShotStatus::Ok);
        QCOMPARE(result.picture.size(), QSize(400, 300));
        const QImage picture = result.picture.copy(0, 0, 100, 200);
        QCOMPARE(FirstWrongRow(picture, 0, 100, [](int) { return QColor(Qt::green); }), -1);
        QCOMPARE(QColor(picture.pixel(50, 150)), QColor(Qt::green));
        QCOMPARE(FirstWrongRow(picture, 100, 200, [](int) { return QColor(Qt::green); }), -1);
    }

    // What a page shows of other local files still shows: a framed page, an embedded
    // picture.
    void showsOtherDocuments() {
        QFile svg(AppFile(QStringLiteral("figure.svg")));
        QVERIFY(svg.open(QIODevice::WriteOnly));
        svg.write(
            "<svg xmlns='http://www.w3.org/2000/svg' width='100' height='100'>"
            "<rect width='100' height='100' fill='#00ff00'/></svg>");
        svg.close();
        WritePage("framed.html", "<body style='margin:0;background:#0000ff'></body>");
        const ShotResult result = Shoot(WritePage(
            "shows.html",
            "<body style='margin:0'><object data='figure.svg' type='image/svg+xml' "
            "style='display:block;width:100px;height:100px'></object><iframe src='framed.html' "
            "style='display:block;border:0;width:100px;height:100px'></iframe></body>"));
        QCOMPARE(result.status, ShotStatus::Ok);
        QCOMPARE(QColor(result.picture.pixel(50, 50)), QColor(Qt::green));
        QCOMPARE(QColor(result.picture.pixel(50, 150)), QColor(Qt::blue));
    }
};

GLIMPA_TEST_MAIN(CaptureLocalFilesTest, 1280, 1024)
#include "capture_local_files_test.moc"
