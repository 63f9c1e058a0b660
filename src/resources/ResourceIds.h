#pragma once

// Ids of template controls that the program never addresses (group boxes and
// the captions beside lists and edits). They live in their own range, above
// every id the program uses, so that every control of a dialog still has a
// distinct id.
namespace kestrova::res::id {

inline constexpr int kPrivateFirst = 2000;

// Main window (template 102).
inline constexpr int DeviceGroup = 2000;
inline constexpr int OperationModeGroup = 2001;
inline constexpr int XyGroup = 2002;
inline constexpr int TriggerGroup = 2003;
inline constexpr int AxisScaleGroup = 2004;
inline constexpr int CursorGroup = 2005;
inline constexpr int RealSaveGroup = 2006;

inline constexpr int TimeCaption = 2010;
inline constexpr int YDivCaption = 2011;
inline constexpr int YMinCaption = 2012;
inline constexpr int YMaxCaption = 2013;
inline constexpr int YMinCaptionUnbound = 2014;
inline constexpr int YMaxCaptionUnbound = 2015;
inline constexpr int AutoCaption = 2016;
inline constexpr int NormalCaption = 2017;
inline constexpr int SingleCaption = 2018;
inline constexpr int TriggerChannelCaption = 2019;
inline constexpr int LevelCaption = 2020;
inline constexpr int SlopeCaption = 2021;
inline constexpr int TriggerColorCaption = 2022;
inline constexpr int CursorColorCaption = 2023;

// About box (template 100).
inline constexpr int AboutIcon = 2100;
inline constexpr int AboutVersion = 2101;
inline constexpr int AboutMaker = 2102;
inline constexpr int AboutWebAddress = 2103;
inline constexpr int AboutDescription = 2104;
inline constexpr int AboutChannels = 2105;

// Custom Command dialog (template 131).
inline constexpr int CommandStartCaption = 2200;
inline constexpr int CommandTextCaption = 2201;
inline constexpr int CommandEndCaption = 2202;
inline constexpr int CommandSendGroup = 2203;
inline constexpr int CommandReceiveGroup = 2204;

}  // namespace kestrova::res::id
