// The choice dialog (choicePanel): a question with one button per answer.
// It does not wait: the frame goes on, and a button, a bound key or the close
// box answers it. Answering runs the option, then hides the dialog.
#include "game/game.h"
#include "game/panels.h"
#include "shell/messages.h"

namespace {

void closeDialog() {
    choicePanel.hide();
    choicePanel.closeBox.action = [] { choicePanel.hide(); };
    game.choiceKeys.clear();
}

// An answer runs once: a press held over a button repeats its action on
// every mouse record, and the dialog is gone after the first.
std::function<void()> answer(std::function<void()> option) {
    return [option] {
        if (!choicePanel.visible) return;
        option();
        closeDialog();
    };
}

} // namespace

void Game::Choose(const std::string& title, const std::string& text,
                  const std::unordered_map<std::string, std::function<void()>>& options,
                  const std::unordered_map<std::uint16_t, std::string>& keys, const std::string& dismissOption) {
    const double dialogWidth = static_cast<double>(choicePanel.width());
    double textWidth = 0;
    for (const auto& option : options) textWidth += static_cast<double>(option.first.size());
    const double spacing = options.size() > 1 ? (dialogWidth - textWidth) / static_cast<double>(options.size() - 1) : 0;
    if (spacing < 0 || textWidth > dialogWidth) return;

    choicePanel.title = title;
    choicePanel.clearText();
    panelPrintf(&choicePanel, "%s", text.c_str());
    choicePanel.buttons.clear();

    double x = 0;
    const std::int64_t lastRow = choicePanel.height() - 1;
    for (const auto& [label, option] : options) {
        const auto width = static_cast<std::int64_t>(label.size());
        Button button(static_cast<std::int64_t>(x), lastRow, width, 1, label, choicePanel.x, choicePanel.y);
        button.action = answer(option);
        choicePanel.buttons.push_back(std::move(button));
        x += static_cast<double>(width) + spacing;
    }
    choiceKeys.clear();
    for (const auto& [key, label] : keys)
        if (const auto found = options.find(label); found != options.end()) choiceKeys[key] = answer(found->second);
    const auto dismiss = options.find(dismissOption);
    choicePanel.closeBox.action = dismiss != options.end() ? answer(dismiss->second) : [] { closeDialog(); };

    choicePanel.raise();
    choicePanel.visible = true;
    choicePanel.closeBox.visible = true;
    choicePanel.closeBox.draw();
    choicePanel.draw();
    for (Button& button : choicePanel.buttons) {
        button.visible = true;
        button.draw();
    }
    choicePanel.raise();
}

bool answerChoiceByKey(const INPUT_RECORD& record) {
    if (!choicePanel.visible || record.EventType != KEY_EVENT || !record.Event.KeyEvent.bKeyDown) return false;
    const auto found = game.choiceKeys.find(record.Event.KeyEvent.wVirtualKeyCode);
    if (found == game.choiceKeys.end()) return false;
    const std::function<void()> chosen = found->second; // answering clears the map
    chosen();
    return true;
}
