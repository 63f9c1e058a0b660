#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kestrova {

// The icons of the program's message boxes: information for success, stop
// for write failures, question for Yes/No, exclamation otherwise.
enum class PromptIcon { Information, Stop, Question, Exclamation };

// The modal questions and messages the program puts to the user, captioned
// with the application title. The window uses message boxes and file dialogs
// through this interface so that tests can answer them. User-interface
// thread only.
class Prompts {
 public:
  virtual ~Prompts() = default;

  virtual void ShowMessage(std::string_view text, PromptIcon icon) = 0;
  // A Yes/No question with the question icon; true for Yes.
  virtual bool AskYesNo(std::string_view text) = 0;
  // A save-as dialog; the chosen path (with the extension of the selected
  // filter, else the default one, added when the name has none), or nothing
  // when cancelled. filter is a Qt name-filter list ("a (*.x);;b (*.y)").
  virtual std::optional<std::string> AskSaveFileName(std::string_view title, std::string_view filter,
                                                     std::string_view defaultExtension) = 0;
  // An open dialog for an existing file; its path, or nothing when
  // cancelled. filter as for AskSaveFileName.
  virtual std::optional<std::string> AskOpenFileName(std::string_view title, std::string_view filter) = 0;
};

// The caption of every message box.
inline constexpr std::string_view kApplicationTitle = "Kestrova";

}  // namespace kestrova
