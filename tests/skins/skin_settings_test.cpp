#include "skins/skin_settings.h"

#include "platform/ui/error.h"

#include <gtest/gtest.h>

namespace {

using skins::ReadSkinSettings;

// The description a reading error shows the user, or "" when the text reads.
QString errorOf(const QByteArray& contents) {
    try {
        ReadSkinSettings(contents);
    } catch (const platform::Error& e) {
        return e.description();
    }
    return QString();
}

TEST(SkinSettings, OneGroupGivesThreeColoursAndThePositionLine) {
    const skins::SkinSettings s = ReadSkinSettings(
        "255,0,0\r\n 0 , 128 ,255\r\n1,2,3\r\n150.5, 2, 3, 4, 5, 6, 7, 8, 9, 10\r\n");
    EXPECT_EQ(s.backColor, 255L);
    EXPECT_EQ(s.foreColor, 128L * 256 + 255L * 65536);
    EXPECT_EQ(s.comboBackColor, 1L + 2 * 256 + 3 * 65536);
    EXPECT_EQ(s.positions, QStringLiteral("150.5, 2, 3, 4, 5, 6, 7, 8, 9, 10"));
}

TEST(SkinSettings, LaterGroupsOverrideLineByLineAndBlankLinesKeepTheEarlierValue) {
    const skins::SkinSettings s = ReadSkinSettings(
        "10,10,10\n20,20,20\n30,30,30\n1,1,1,1,1,1,1,1,1,1\n"
        "40,40,40\n   \n\n2,2,2,2,2,2,2,2,2,2\n");
    EXPECT_EQ(s.backColor, 40L * 0x010101);
    EXPECT_EQ(s.foreColor, 20L * 0x010101);
    EXPECT_EQ(s.comboBackColor, 30L * 0x010101);
    EXPECT_EQ(s.positions, QStringLiteral("2,2,2,2,2,2,2,2,2,2"));
}

TEST(SkinSettings, EmptyFileAndMissingLinesGiveNoColour) {
    const skins::SkinSettings empty = ReadSkinSettings(QByteArray());
    EXPECT_FALSE(empty.backColor.has_value());
    EXPECT_FALSE(empty.foreColor.has_value());
    EXPECT_FALSE(empty.comboBackColor.has_value());
    EXPECT_TRUE(empty.positions.isEmpty());

    const skins::SkinSettings one = ReadSkinSettings("1,2,3");
    EXPECT_EQ(one.backColor, 1L + 2 * 256 + 3 * 65536);
    EXPECT_FALSE(one.foreColor.has_value());
}

TEST(SkinSettings, ComponentAbove255CountsAs255) {
    EXPECT_EQ(skins::ParseColourLine(QStringLiteral("300, 256, 1000000")), 0xFFFFFFL);
    EXPECT_EQ(skins::ParseColourLine(QStringLiteral("0,0,0")), 0L);
}

TEST(SkinSettings, ColourLineThatIsNotThreeNumbersOrHasANegativeOneIsAnError) {
    EXPECT_EQ(errorOf("1,2\n"), QStringLiteral("Subscript out of range"));
    EXPECT_EQ(errorOf("1,2,3,4\n"), QStringLiteral("Subscript out of range"));
    EXPECT_EQ(errorOf("red,green,blue\n"), QStringLiteral("Type mismatch"));
    EXPECT_EQ(errorOf("1,2,3\n4,-5,6\n"), QStringLiteral("Invalid procedure call or argument"));
    EXPECT_EQ(errorOf("1,2,3\n4,5,6\n7,8,inf\n"), QStringLiteral("Type mismatch"));
    // A bad colour in a group that a later one overrides still stops the reading.
    EXPECT_EQ(errorOf("1,2\n\n\n\n1,2,3\n"), QStringLiteral("Subscript out of range"));
    // The position line is not a colour: any text is kept as it is.
    EXPECT_EQ(errorOf("\n\n\nnot numbers at all\n"), QString());
}

TEST(SkinSettings, LineEndsMayBeCrLfLfOrCrAlone) {
    for (const QByteArray& text : {QByteArray("1,1,1\r2,2,2\r3,3,3\r4,4,4,4,4,4,4,4,4,4\r"),
                                   QByteArray("1,1,1\n2,2,2\n3,3,3\n4,4,4,4,4,4,4,4,4,4"),
                                   QByteArray("1,1,1\r\n2,2,2\r\n3,3,3\r\n4,4,4,4,4,4,4,4,4,4")}) {
        const skins::SkinSettings s = ReadSkinSettings(text);
        EXPECT_EQ(s.backColor, 0x010101L) << text.constData();
        EXPECT_EQ(s.foreColor, 0x020202L) << text.constData();
        EXPECT_EQ(s.comboBackColor, 0x030303L) << text.constData();
        EXPECT_EQ(s.positions, QStringLiteral("4,4,4,4,4,4,4,4,4,4")) << text.constData();
    }
}

TEST(SkinSettings, BinaryJunkIsAnErrorAndAnOversizedFileIsRefused) {
    QByteArray junk;
    for (int i = 0; i < 4096; ++i) {
        junk.append(static_cast<char>((i * 131) & 0xFF));
    }
    EXPECT_EQ(errorOf(junk), QStringLiteral("Subscript out of range"));

    // Blanks around numbers are ignored however many there are.
    const QByteArray longLine = QByteArray(60000, ' ') + "9,9,9";
    EXPECT_EQ(ReadSkinSettings(longLine).backColor, 0x090909L);

    EXPECT_EQ(errorOf(QByteArray(skins::kMaxSkinSettingsBytes + 1, '\n')),
              QStringLiteral("The skin's Settings.ini is too large to read."));
}

TEST(SkinSettings, PositionLineHasTenValuesOrNone) {
    EXPECT_TRUE(skins::PositionValues(QStringLiteral("1,2,3,4,5,6,7,8,9")).isEmpty());
    EXPECT_TRUE(skins::PositionValues(QString()).isEmpty());
    const QStringList eleven = skins::PositionValues(QStringLiteral("1,2,3,4,5,6,7,8,9,10,11"));
    ASSERT_EQ(eleven.size(), 10);
    EXPECT_EQ(eleven.back(), QStringLiteral("10"));

    EXPECT_DOUBLE_EQ(skins::LayoutNumber(QStringLiteral(" 150.5 ")), 150.5);
    try {
        skins::LayoutNumber(QStringLiteral("left"));
        ADD_FAILURE() << "a word is not a position";
    } catch (const platform::Error& e) {
        EXPECT_EQ(e.description(), QStringLiteral("Type mismatch"));
    }
}

}  // namespace
