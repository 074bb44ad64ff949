#pragma once
// Typed keys of the language table. Every text the operator sees is fetched by one of these,
// never by a bare number or an English literal. 1000..1147 are the program's original texts
// (their numbers also appear in saved exchanges with other tools, so they never change);
// 2000 and above are captions and messages added since, grouped by the area that shows them,
// each area in a list of its own so that the key and its three texts stand on one line.
// Where the English wording repeats, the keys differ because the controls do, and the
// Japanese or Chinese wording may too.

namespace orvanta {

// The lists below hold one ORVANTA_TEXT(key, english, japanese, chinese) row a text; here
// only the key counts.
#define ORVANTA_TEXT(key, english, japanese, chinese) key,

enum class Text : int {
    OvxExtension = 1000,
    TxtExtension = 1001,
    PleaseSelectProjector = 1002,
    PleaseInputMessage = 1003,
    MessageTooLongAutoDelete = 1004,
    TitleTooLongBytes = 1005,
    MessageMayNotBeDisplayed = 1006,
    MessageMayNotBeDisplayedAgain = 1007,
    NoSavedData = 1008,
    MessageTooLongBytes = 1009,
    CharacterDisplayModeSelected = 1010,
    Caption = 1011,
    PleaseInputIpAddress = 1012,
    ScrollNumInvalid = 1013,
    DisplayTimeInvalid = 1014,
    ZeroMinZeroSecInvalid = 1015,
    SocketError = 1016,
    AddBitmapError = 1017,
    ConfirmExit = 1018,
    SameFileNameExists = 1019,
    Complete = 1020,
    ConfirmClear = 1021,
    UnsavedData = 1022,
    TooManyCharacters = 1023,
    Max40Characters = 1024,
    Max20Characters = 1025,
    Max10Characters = 1026,
    OnlyOvxValid = 1027,
    FileFormatNotSupported = 1028,
    AddFileToMessageList = 1029,
    DropOnMainOrEdit = 1030,
    ExtractThisFile = 1031,
    PleaseSelectAProjector = 1032,
    RegistrationLimit = 1033,
    SameAddressExists = 1034,
    ConfirmDeleteAddress = 1035,
    AddressHeading = 1036,
    UnsupportedCount = 1037,
    ExecuteAutoDelete = 1038,
    LineNumber = 1039,
    TransparentNotSupported = 1040,
    ProjectorFatalError = 1041,
    PictureSideNotSupported = 1042,
    SendLocked = 1043,
    SendLockMenu = 1044,
    UnlockMenu = 1045,
    ChangePasswordMenu = 1046,
    LockTheSendButton = 1047,
    UnlockTheSendButton = 1048,
    EnterPassword = 1049,
    IncorrectPassword = 1050,
    EnterDifferentPassword = 1051,
    TitlePositionLeft = 1052,
    TitlePositionCenter = 1053,
    TitlePositionRight = 1054,
    StyleScroll = 1055,
    StyleBox = 1056,
    StylePopOn = 1057,
    StylePictureSide = 1058,
    SizeStandard = 1059,
    SizeDouble = 1060,
    VerticalUpper = 1061,
    VerticalCenter = 1062,
    VerticalLower = 1063,
    LevelLow = 1064,
    LevelMiddle = 1065,
    LevelHigh = 1066,
    ScrollRepeat = 1067,
    SpeedSlow = 1068,
    SpeedStandard = 1069,
    SpeedFast = 1070,
    DisplayTimeUnlimited = 1071,
    BlinkOn = 1072,
    BlinkOff = 1073,
    HorizontalLeft = 1074,
    HorizontalRight = 1075,
    LappedDisable = 1076,
    LappedEnable = 1077,
    VolumeLow = 1078,
    VolumeMid = 1079,
    VolumeHigh = 1080,
    AlarmSoundNone = 1081,
    AlarmLoopEndless = 1082,
    StartupRepeat = 1083,
    SlotQuick = 1084,
    StartupSlotNone = 1085,
    SendButtonLocked = 1086,
    SendButton = 1087,
    SavedNumberQuick = 1088,
    ClearAll = 1089,
    MessageSlotQuick = 1090,
    MessageSlotNumber = 1091,
    MessageOn = 1092,
    MessageOff = 1093,
    MessageSlotNone = 1094,
    AlarmSoundNumberNone = 1095,
    AlarmSoundNumber = 1096,
    AlarmOn = 1097,
    AlarmOff = 1098,
    AlarmSoundNumberUnknown = 1099,
    CancelComplete = 1100,
    NoMessageData = 1101,
    RequestIllegal = 1102,
    RequestOk = 1103,
    ProjectorBusy = 1104,
    TransferError = 1105,
    DataSizeOver = 1106,
    TimeoutError = 1107,
    OtherError = 1108,
    CommunicationError = 1109,
    TransferFailure = 1110,
    SocketErrorBracket = 1111,
    ConnectionErrorBracket = 1112,
    NoResponseBracket = 1113,
    AuthenticationErrorBracket = 1114,
    SendErrorBracket = 1115,
    ReceiveErrorBracket = 1116,
    UnexpectedErrorBracket = 1117,
    NowSending = 1118,
    NowGetting = 1119,
    NowControlling = 1120,
    IllegalRequest = 1121,
    NowGetInformation = 1122,
    StatusError = 1123,
    NowGetStatus = 1124,
    StatusComplete = 1125,
    StatusSave = 1126,
    StatusRetry = 1127,
    StatusProjectorBusy = 1128,
    StatusTransferFailure = 1129,
    StatusWaiting = 1130,
    StatusUndefinedError = 1131,
    StatusCancel = 1132,
    StatusCancelled = 1133,
    TabMain = 1134,
    TabDiscovery = 1135,
    TabEdit = 1136,
    ColumnProjectorName = 1137,
    ColumnMacAddress = 1138,
    ColumnIpAddress = 1139,
    NoMessageOnDisplay = 1140,
    CharacterColor = 1141,
    CharacterBackgroundColor = 1142,
    BackgroundColor = 1143,
    ImageCaption = 1144,
    // 1145 has never had a text.
    TitleMayNotBeDisplayed = 1146,
    TitleTooLongCharacters = 1147,

    // Frame, menus, tool bar and texts every page shares: 2000..2199, listed in
    // text/texts/FrameTexts.def.
    FrameTextsBefore = 1999,
#include "text/texts/FrameTexts.def"
    FrameTextsEnd,

    // Edit tab and its dialogs: 2200..2399, listed in text/texts/EditTexts.def.
    EditTextsBefore = 2199,
#include "text/texts/EditTexts.def"
    EditTextsEnd,

    // Main tab, startup display, status and send lock: 2400..2599, listed in
    // text/texts/MainTexts.def.
    MainTextsBefore = 2399,
#include "text/texts/MainTexts.def"
    MainTextsEnd,

    // Discovery tab and its dialogs: 2600..2799, listed in text/texts/DiscoveryTexts.def.
    DiscoveryTextsBefore = 2599,
#include "text/texts/DiscoveryTexts.def"
    DiscoveryTextsEnd,

    // Preview: 2800..2999, listed in text/texts/PreviewTexts.def.
    PreviewTextsBefore = 2799,
#include "text/texts/PreviewTexts.def"
    PreviewTextsEnd,

    // Command line and core messages of our own: 3000..3199, listed in text/texts/CoreTexts.def.
    CoreTextsBefore = 2999,
#include "text/texts/CoreTexts.def"
    CoreTextsEnd,

    // The fleet table and the command line's table of many projectors: 3400..3599, listed in
    // text/texts/FleetTexts.def.
    FleetTextsBefore = 3399,
#include "text/texts/FleetTexts.def"
    FleetTextsEnd,

    // Message templates and their fields: 3600..3799, listed in text/texts/TemplateTexts.def.
    TemplateTextsBefore = 3599,
#include "text/texts/TemplateTexts.def"
    TemplateTextsEnd,

    // The Schedule tab and its entry dialog: 3800..3999, listed in text/texts/ScheduleTexts.def.
    ScheduleTextsBefore = 3799,
#include "text/texts/ScheduleTexts.def"
    ScheduleTextsEnd,
};

#undef ORVANTA_TEXT

}  // namespace orvanta
