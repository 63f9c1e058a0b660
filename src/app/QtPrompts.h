#pragma once

#include "app/Prompts.h"

class QWidget;

namespace kestrova {

// Prompts as Qt's message boxes and file dialog.
class QtPrompts : public Prompts {
 public:
  explicit QtPrompts(QWidget* parent = nullptr) : parent_(parent) {}
  void SetParent(QWidget* parent) { parent_ = parent; }

  void ShowMessage(std::string_view text, PromptIcon icon) override;
  bool AskYesNo(std::string_view text) override;
  std::optional<std::string> AskSaveFileName(std::string_view title, std::string_view filter,
                                             std::string_view defaultExtension) override;
  std::optional<std::string> AskOpenFileName(std::string_view title, std::string_view filter) override;

 private:
  QWidget* parent_;
};

}  // namespace kestrova
