#include "ui/SkinButtonRoles.h"

#include "ui/CSkinButton.h"
#include "ui/UiText.h"

namespace kirvano {

CSkinButton* CreateSkinButton(QWidget* parent, const SkinButtonRole& role) {
    auto* button = new CSkinButton(parent, role.commandId);
    button->SetImage(role.image, role.width, role.height);
    button->resize(role.width, role.height);
    button->setToolTip(QString::fromStdString(UiText(role.tooltip)));
    return button;
}

void ShowPlayState(CSkinButton& playButton, bool playing) {
    const SkinButtonRole& play = kToolButtons[2];
    playButton.SetImage(playing ? kPlayButtonPlayingImage : play.image, play.width, play.height);
    playButton.setToolTip(
        QString::fromStdString(UiText(playing ? kPlayButtonPlayingTooltip : play.tooltip)));
}

} // namespace kirvano
