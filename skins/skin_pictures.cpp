#include "skins/skin_pictures.h"

#include "platform/ui/error.h"

#include <QImageReader>

namespace skins {

namespace {
const QString kCrLf = QStringLiteral("\r\n");
constexpr long kErrInvalidPicture = 481;
}  // namespace

const std::vector<SkinPictureFile>& skinPictureFiles() {
    const auto s = [](const char* text) { return QString::fromLatin1(text); };
    static const std::vector<SkinPictureFile> files = {
        {s("Main.bmp"), {s("BackPic")}},
        {s("Welcome.jpg"), {s("PicMess")}},
        {s("Box.jpg"), {s("PicSettingsBox"), s("PicAboutMe")}},
        {s("Play.jpg"), {s("PicPlay")}},
        {s("PlayR.jpg"), {s("PicPlayRoll")}},
        {s("Stop.jpg"), {s("PicStop")}},
        {s("StopR.jpg"), {s("PicStopRoll")}},
        {s("Record.jpg"), {s("PicRecord")}},
        {s("RecordR.jpg"), {s("PicRecordRoll")}},
        {s("RecordStop.jpg"), {s("PicRecordStop")}},
        {s("RecordStopR.jpg"), {s("PicRecordStopRoll")}},
        {s("Settings.jpg"), {s("PicSettings")}},
        {s("SettingsR.jpg"), {s("PicSettingsRoll")}},
        {s("Advanced.jpg"), {s("PicAdvanceRec")}},
        {s("AdvancedR.jpg"), {s("PicAdvanceRecRoll")}},
        {s("About.jpg"), {s("PicAbout")}},
        {s("AboutR.jpg"), {s("PicAboutRoll")}},
        {s("Up.jpg"), {s("PicUp"), s("PicManageUp")}},
        {s("UpR.jpg"), {s("PicUpRoll"), s("PicManageUpRoll")}},
        {s("Down.jpg"), {s("PicDown"), s("PicManageDown")}},
        {s("DownR.jpg"), {s("PicDownRoll"), s("PicManageDownRoll")}},
        {s("Exit.jpg"), {s("PicClose")}},
        {s("ExitR.jpg"), {s("PicCloseRoll")}},
        {s("Minimize.jpg"), {s("PicMin")}},
        {s("MinimizeR.jpg"), {s("PicMinRoll")}},
        {s("Close.jpg"), {s("PicOK"), s("PicManageOK"), s("PicCloseW")}},
        {s("CloseR.jpg"), {s("PicOKRoll"), s("PicManageOKRoll"), s("PicCloseWRoll")}},
    };
    return files;
}

QImage ReadSkinPicture(const QString& path) {
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    const QSize size = reader.size();
    if (size.width() > kMaxSkinPictureSide || size.height() > kMaxSkinPictureSide) {
        throw platform::Error(kErrInvalidPicture, platform::programName(),
                              QStringLiteral("The skin's picture is larger than %1 x %1 pixels:")
                                      .arg(kMaxSkinPictureSide) +
                                  kCrLf + kCrLf + path);
    }
    QImage image;
    if (!reader.read(&image) || image.isNull() || image.width() > kMaxSkinPictureSide ||
        image.height() > kMaxSkinPictureSide) {
        throw platform::Error(
            kErrInvalidPicture, platform::programName(),
            QStringLiteral("The skin's picture could not be read:") + kCrLf + kCrLf + path);
    }
    return image;
}

}  // namespace skins
