// Why keys typed on a keyboard level seem lost: the level types its own keys
// (its feeder), every 256 steps again on level 20, so in a fast run the
// player's key is delivered and then typed over within the same frame. The
// player is told once per level, and the 键盘 panel stays in front.
#include "game/game.h"
#include "levels/levels.h"
#include "game/panels.h"
#include "shell/messages.h"

void noticeKeyOnFeederLevel() {
    if (!feederTypesKeys(game.level) || game.feederNoticeLevel == game.level) return;
    game.feederNoticeLevel = game.level;
    consolePrintf("注意：第%u关会自己按键，检验只认关卡按的键。你在键盘面板按的键也会送进CPU，可能让这次检验失败；"
                  "快速运行时它会马上被关卡的按键盖过。\n",
                  static_cast<unsigned>(game.level));
    keyboardPanel.raise();
}
