#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/Prompts.h"

namespace kestrova::test {

// The program's questions answered by the test instead of a person: every
// message is recorded with its icon, Yes/No gets `yes`, and the save dialog
// gets `savePath` and the open dialog `openPath` (nothing: cancelled).
class AnsweringPrompts : public Prompts {
 public:
  void ShowMessage(std::string_view text, PromptIcon icon) override {
    messages.emplace_back(text);
    icons.push_back(icon);
  }
  bool AskYesNo(std::string_view /*text*/) override { return yes; }
  std::optional<std::string> AskSaveFileName(std::string_view /*title*/, std::string_view /*filter*/,
                                             std::string_view /*defaultExtension*/) override {
    return savePath;
  }
  std::optional<std::string> AskOpenFileName(std::string_view /*title*/,
                                             std::string_view /*filter*/) override {
    return openPath;
  }

  bool yes = false;
  std::optional<std::string> savePath;
  std::optional<std::string> openPath;  // the open dialog's answer
  std::vector<std::string> messages;
  std::vector<PromptIcon> icons;
};

}  // namespace kestrova::test
