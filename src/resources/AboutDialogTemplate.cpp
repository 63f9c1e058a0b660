#include <array>

#include "resources/DialogTemplate.h"
#include "resources/ResourceIds.h"
#include "resources/Translatable.h"

namespace kestrova::res {

namespace {

using enum ControlClass;

constexpr std::array kAboutControls = std::to_array<ControlTemplate>({
    {id::AboutIcon, Icon, "", {11, 17, 20, 20}, 0},
    {id::AboutVersion, Static, KESTROVA_TR_NOOP("Kestrova", "Kestrova Version 1.0"), {39, 17, 119, 8}, 0},
    {id::AboutMaker, Static, "(C) 2009-2011 Orvanta", {39, 32, 110, 8}, 0},
    {id::AboutWebAddress, Static, "www.orvanta.example", {155, 32, 80, 8}, 0},
    {id::AboutDescription,
     Static,
     KESTROVA_TR_NOOP("Kestrova", "Communication Scope : ADC, SPI, CAN, UART"),
     {39, 49, 190, 8},
     0},
    {id::AboutChannels,
     Static,
     KESTROVA_TR_NOOP("Kestrova", "(4 channel, 16bit data, ADC:12bit)"),
     {78, 65, 150, 8},
     0},
    {kOkButtonId,
     PushButton,
     KESTROVA_TR_NOOP("Kestrova", "OK"),
     {186, 7, 50, 14},
     style::kTabStop | style::kGroup | style::kDefault},
});
static_assert(IdsAreDistinct(kAboutControls));

constexpr DialogTemplate kAboutDialog{
    kAboutDialogId,
    KESTROVA_TR_NOOP("Kestrova", "Kestrova 정보"),
    243,
    87,
    "굴림",
    9,
    frame::kSystemMenu | frame::kModalFrame,
    kAboutControls,
};

}  // namespace

const DialogTemplate& AboutDialogTemplate() {
  return kAboutDialog;
}

}  // namespace kestrova::res
