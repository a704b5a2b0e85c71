// Strict UTF-8 decoding of the sealed payload.

#include "Utf8.h"

#include <QtTest>

using namespace lumbrik;

class TestUtf8 : public QObject
{
    Q_OBJECT

private slots:
    void decode_data();
    void decode();
};

void TestUtf8::decode_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("wellFormed");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("firstBad");

    QTest::newRow("ASCII") << "{\"sign\":"_qba << true << QStringLiteral("{\"sign\":") << -1;
    QTest::newRow("Chinese") << "\xE4\xB8\xAD"_qba << true << QString::fromUtf8("中") << -1;
    QTest::newRow("four bytes become two UTF-16 units") << "\xF0\x9F\x98\x80"_qba << true << QString(QChar(0xD83D)) + QChar(0xDE00) << -1;
    QTest::newRow("byte-order mark kept") << "\xEF\xBB\xBFx"_qba << true << QString(QChar(0xFEFF)) + u'x' << -1;
    QTest::newRow("zero byte") << "a\0b"_qba << true << QString(u'a') + QChar(0) + u'b' << -1;
    QTest::newRow("empty") << QByteArray() << true << QString() << -1;
    QTest::newRow("highest code point") << "\xF4\x8F\xBF\xBF"_qba << true << QString(QChar(0xDBFF)) + QChar(0xDFFF) << -1;

    QTest::newRow("lone continuation byte") << "a\x80"_qba << false << QString() << 1;
    QTest::newRow("overlong two bytes") << "\xC0\xAF"_qba << false << QString() << 0;
    QTest::newRow("overlong three bytes") << "\xE0\x80\xAF"_qba << false << QString() << 0;
    QTest::newRow("overlong four bytes") << "\xF0\x80\x80\xAF"_qba << false << QString() << 0;
    QTest::newRow("encoded surrogate") << "\xED\xA0\x80"_qba << false << QString() << 0;
    QTest::newRow("beyond U+10FFFF") << "\xF4\x90\x80\x80"_qba << false << QString() << 0;
    QTest::newRow("five-byte form") << "\xF8\x88\x80\x80\x80"_qba << false << QString() << 0;
    QTest::newRow("byte 0xFE") << "\xFE"_qba << false << QString() << 0;
    QTest::newRow("cut off at the end") << "ab\xE4\xB8"_qba << false << QString() << 2;
    QTest::newRow("cut off in the middle") << "\xE4\xB8x"_qba << false << QString() << 0;
}

void TestUtf8::decode()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, wellFormed);
    QFETCH(QString, text);
    QFETCH(int, firstBad);

    QCOMPARE(firstInvalidUtf8(bytes), qsizetype(firstBad));
    QString sText = QStringLiteral("untouched");
    QCOMPARE(decodeUtf8Strict(bytes, sText), wellFormed);
    QCOMPARE(sText, wellFormed ? text : QStringLiteral("untouched"));
}

QTEST_GUILESS_MAIN(TestUtf8)
#include "tst_Utf8.moc"
