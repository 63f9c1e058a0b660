#include <array>

#include "resources/DialogTemplate.h"
#include "resources/ResourceIds.h"
#include "resources/Translatable.h"

namespace kestrova::res {

namespace {

using enum ControlClass;
using style::kCenter;
using style::kMultiLine;
using style::kReadOnly;
using style::kTabStop;
using style::kVScroll;

// The Custom Command dialog, in tab order; the command edit comes first and
// so has the initial focus.
constexpr std::array kCommandControls = std::to_array<ControlTemplate>({
    {1112, Edit, "", {44, 34, 142, 14}, kTabStop},
    {1111, Edit, "", {14, 34, 28, 14}, kTabStop},
    {id::CommandStartCaption, Static, KESTROVA_TR_NOOP("Kestrova", "Start"), {14, 20, 28, 10}, kCenter},
    {id::CommandTextCaption,
     Static,
     KESTROVA_TR_NOOP("Kestrova", "User Command(String)"),
     {44, 20, 142, 10},
     kCenter},
    {1113, Edit, "", {190, 34, 49, 14}, kTabStop | kReadOnly},
    {1114, Edit, "", {244, 34, 28, 14}, kTabStop},
    {id::CommandEndCaption, Static, KESTROVA_TR_NOOP("Kestrova", "End"), {244, 20, 28, 10}, kCenter},
    {1115, CheckBox, KESTROVA_TR_NOOP("Kestrova", "Check Sum"), {190, 20, 49, 10}, kTabStop},
    {1116, Edit, "", {13, 72, 262, 153}, kTabStop | kMultiLine | kReadOnly | kVScroll},
    {id::CommandSendGroup, GroupBox, KESTROVA_TR_NOOP("Kestrova", "Send "), {7, 7, 312, 46}, 0},
    {id::CommandReceiveGroup, GroupBox, KESTROVA_TR_NOOP("Kestrova", "Receive"), {7, 59, 312, 172}, 0},
    {1117, PushButton, KESTROVA_TR_NOOP("Kestrova", "SEND"), {279, 16, 39, 28}, kTabStop},
    {1118, PushButton, KESTROVA_TR_NOOP("Kestrova", "CLEAR"), {277, 89, 39, 28}, kTabStop},
    {1036, PushButton, KESTROVA_TR_NOOP("Kestrova", "EXIT"), {277, 198, 39, 28}, kTabStop},
    {1120, CheckBox, KESTROVA_TR_NOOP("Kestrova", "Enable"), {278, 69, 35, 15}, kTabStop},
});
static_assert(IdsAreDistinct(kCommandControls));

constexpr DialogTemplate kCommandDialog{
    kCommandDialogId,
    KESTROVA_TR_NOOP("Kestrova", "Custom Command"),
    326,
    240,
    "굴림",
    9,
    frame::kSystemMenu | frame::kModalFrame,
    kCommandControls,
};

}  // namespace

const DialogTemplate& CommandDialogTemplate() {
  return kCommandDialog;
}

}  // namespace kestrova::res
