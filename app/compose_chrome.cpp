#include "app/compose_chrome.h"

#include "app/chrome/links.h"
#include "app/chrome/window_drag.h"
#include "app/controls.h"
#include "app/frm_fm.h"
#include "platform/ui/message_box.h"
#include "platform/ui/report_error.h"
#include "skins/picture_box.h"

namespace app {

ChromeParts::ChromeParts(FrmFM& w)
    : w_(w),
      hover_(w.LblMessage(), w.PicTemp(), [&w] { w.repaint(); }),
      drag_(new chrome::WindowDrag(w, w.boxes())) {
    const auto button = [this](skins::PictureBox* box, skins::PictureBox* roll, const char* text,
                               bool unhookOnPress = false) {
        hover_.addButton(box, roll, QString::fromUtf8(text), unhookOnPress);
    };
    button(w.PicPlay(), w.PicPlayRoll(), "Click to Start Playing.");
    button(w.PicStop(), w.PicStopRoll(), "Click to Stop Playing.");
    button(w.PicRecord(), w.PicRecordRoll(), "Record it to a MP3 file.");
    button(w.PicRecordStop(), w.PicRecordStopRoll(), "Click to Stop the Recording");
    button(w.PicSettings(), w.PicSettingsRoll(), "Click to Change the Settings.");
    button(w.PicOK(), w.PicOKRoll(), "Click to Save && Close the Settings.");
    button(w.PicManageOK(), w.PicManageOKRoll(), "Click to Save && Close the Settings.");
    button(w.PicUp(), w.PicUpRoll(), "Click && Hold to Scroll Up.", true);
    button(w.PicDown(), w.PicDownRoll(), "Click && Hold to Scroll Down.", true);
    button(w.PicManageUp(), w.PicManageUpRoll(), "Click && Hold to Scroll Up.", true);
    button(w.PicManageDown(), w.PicManageDownRoll(), "Click && Hold to Scroll Down.", true);
    button(w.PicMin(), w.PicMinRoll(), "Minimize the application.");
    button(w.PicClose(), w.PicCloseRoll(), "Close the application.");
    button(w.PicAbout(), w.PicAboutRoll(), "About the Developer.");
    button(w.PicCloseW(), w.PicCloseWRoll(), "Close");
    button(w.PicAdvanceRec(), w.PicAdvanceRecRoll(), "Open Advance Sound Recorder.");

    using skins::PictureBox;
    QObject::connect(w.PicAbout(), &PictureBox::Click, &hover_, [this] { PicAbout_Click(); });
    QObject::connect(w.PicCloseW(), &PictureBox::Click, &hover_, [this] { PicCloseW_Click(); });
    const auto link = [&w, this](auto* control, auto signal, QString (*target)()) {
        QObject::connect(control, signal, &hover_, [&w, target] {
            platform::trapErrors(w.boxes(),
                                 [&w, target] { chrome::OpenLink(w.shell(), target(), 3); });
        });
    };
    link(w.ImgFAQ(), &PictureBox::Click, chrome::FaqUrl);
    link(w.ImgURL(), &PictureBox::Click, chrome::HomeUrl);
    link(w.ImgMail(), &PictureBox::Click, chrome::MailUrl);
    link(w.ImgMoreSkins(), &PictureBox::Click, chrome::SkinsUrl);
    link(w.LbldownloadSkins(), &ClickLabel::Click, chrome::SkinsUrl);
    QObject::connect(w.LblMessage(), &ClickLabel::Click, &hover_, [&w] {
        platform::trapErrors(w.boxes(),
                             [&w] { chrome::LblMessage_Click(w.shell(), *w.LblMessage()); });
    });
}

void ChromeParts::PicAbout_Click() {
    platform::trapErrors(w_.boxes(), [this] {
        hover_.UnhookHover();
        w_.PicAboutMe()->show();
        w_.PicAboutMe()->raise();
    });
}

void ChromeParts::PicCloseW_Click() {
    platform::trapErrors(w_.boxes(), [this] {
        platform::doEvents();
        w_.PicAboutMe()->hide();
        platform::doEvents();
    });
}

}  // namespace app
