// Where a deflate stream's last block starts, against zlib's own answer: stored, fixed and
// dynamic blocks, one block or many, from libdeflate at every kind of level; bytes that
// are no whole stream give no answer, and never a loop without end.
#include <libdeflate.h>
#include <zlib.h>

#include <QRandomGenerator>
#include <QTest>
#include <optional>
#include <vector>

#include "formats/deflate_blocks.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Compressed(const Bytes& data, int level) {
    libdeflate_compressor* c = libdeflate_alloc_compressor(level);
    Bytes out(libdeflate_deflate_compress_bound(c, data.size()));
    out.resize(libdeflate_deflate_compress(c, data.data(), data.size(), out.data(), out.size()));
    libdeflate_free_compressor(c);
    return out;
}

// zlib's inflate, stopped at each block's end, tells where the last one starts.
std::optional<DeflateEnd> ZlibsAnswer(const Bytes& stream, size_t rawSize) {
    z_stream in{};
    if (inflateInit2(&in, -15) != Z_OK) return std::nullopt;
    Bytes scratch(rawSize + 1);
    in.next_in = const_cast<std::uint8_t*>(stream.data());
    in.avail_in = static_cast<uInt>(stream.size());
    DeflateEnd end;
    int rc = Z_OK;
    while (rc == Z_OK) {
        in.next_out = scratch.data();
        in.avail_out = static_cast<uInt>(scratch.size());
        rc = inflate(&in, Z_BLOCK);
        const int bits = in.data_type & 7;
        if (rc == Z_OK && (in.data_type & 128) && !(in.data_type & 64))
            end.lastBlockBit = size_t{in.total_in} * 8 - static_cast<size_t>(bits);
        if (rc == Z_OK && (in.data_type & 128) && (in.data_type & 64)) end.spareBits = bits;
    }
    const bool whole = rc == Z_STREAM_END && in.total_in == stream.size();
    inflateEnd(&in);
    if (!whole) return std::nullopt;
    return end;
}

// Data of the kinds a page picture's rows give: long runs, repeats at a distance, noise.
Bytes Data(const QString& kind, size_t size) {
    QRandomGenerator random(7);
    Bytes data(size);
    for (size_t i = 0; i < size; ++i) {
        if (kind == u"noise") data[i] = static_cast<std::uint8_t>(random.bounded(256));
        if (kind == u"runs") data[i] = static_cast<std::uint8_t>((i / 977) % 3 ? 255 : i / 977);
        if (kind == u"text")
            data[i] = static_cast<std::uint8_t>(
                (i % 5761) % 40 < 14 && random.bounded(4) == 0 ? random.bounded(256) : 250);
        // Every literal, so the long codes of a large alphabet appear.
        if (kind == u"literals") data[i] = static_cast<std::uint8_t>(random.bounded(256) / 2 * 2);
    }
    return data;
}

}  // namespace

class DeflateBlocksTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void answersAsZlib_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("level");
        // Level 0 gives stored blocks, tiny inputs fixed ones, 2 MB many dynamic ones.
        for (const char* kind : {"noise", "runs", "text", "literals"})
            for (const int size : {0, 1, 70, 5761, 70000, 1 << 21})
                for (const int level : {0, 1, 6, 12}) {
                    if (level == 12 && size > 70000) continue;
                    QTest::addRow("%s, %d bytes, level %d", kind, size, level)
                        << QString::fromLatin1(kind) << size << level;
                }
    }
    void answersAsZlib() {
        QFETCH(QString, kind);
        QFETCH(int, size);
        QFETCH(int, level);
        const Bytes data = Data(kind, static_cast<size_t>(size));
        const Bytes stream = Compressed(data, level);
        QVERIFY(!stream.empty());
        const auto expected = ZlibsAnswer(stream, data.size());
        QVERIFY(expected.has_value());
        const auto found = FindDeflateEnd(stream.data(), stream.size());
        QVERIFY(found.has_value());
        QCOMPARE(found->lastBlockBit, expected->lastBlockBit);
        QCOMPARE(found->spareBits, expected->spareBits);
    }

    // Cut short (past its end the reader sees zeros, which decode as the code of all zeros
    // for ever unless the end stops it), lengthened, or bytes at random: no answer.
    void noWholeStream() {
        const Bytes stream = Compressed(Data(QStringLiteral("text"), 300000), 6);
        for (const size_t cut :
             {size_t{0}, size_t{1}, size_t{2}, stream.size() / 2, stream.size() - 1}) {
            const Bytes part(stream.begin(), stream.begin() + static_cast<long>(cut));
            QVERIFY2(!FindDeflateEnd(part.data(), part.size()), qPrintable(QString::number(cut)));
        }
        Bytes longer = stream;
        longer.push_back(0);
        QVERIFY(!FindDeflateEnd(longer.data(), longer.size()));
        QRandomGenerator random(3);
        for (int round = 0; round < 2000; ++round) {
            Bytes junk(random.bounded(1, 4000));
            for (auto& byte : junk) byte = static_cast<std::uint8_t>(random.bounded(256));
            // Either no answer, or zlib agrees that it is a whole stream ending there.
            const auto found = FindDeflateEnd(junk.data(), junk.size());
            if (found) QVERIFY(ZlibsAnswer(junk, 1 << 20).has_value());
        }
    }
};

QTEST_APPLESS_MAIN(DeflateBlocksTest)
#include "deflate_blocks_test.moc"
