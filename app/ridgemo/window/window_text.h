#pragma once
// Texts of the tool window's controls, from the tool's string table in the process language.
#include <QString>

class QObject;
class QWidget;

namespace kyr::ridgemo {

// String ids of the window and its dialogs.
enum WindowText : int {
  kTextTitle = 800,
  kTextImageMonitor = 801,
  kTextStop = 802,
  kTextSaveBmp = 803,
  kTextReadImage = 804,
  kTextWriteImage = 805,
  kTextReadSettings = 806,
  kTextWriteSettings = 807,
  kTextTargetHead = 808,
  kTextImageType = 809,
  kTextImageTypeList = 810,
  kTextImageNumber = 811,
  kTextExit = 812,
  kTextHelp = 813,
  kTextAbort = 814,
  kTextPictureTip = 815,
  kTextPrmWriteTitle = 820,
  kTextWrite = 821,
  kTextCancelWrite = 822,
  kTextStartBank = 823,
  kTextEndBank = 824,
  kTextTargetBank = 825,
  kTextCommon = 826,
  kTextAlphabet = 827,
  kTextDictionary = 828,
  kTextBankSelTitle = 830,
  kTextMemSelTitle = 831,
  kTextNgSelTitle = 832,
  kTextShtSelTitle = 833,
  kTextGo = 834,
  kTextCancel = 835,
  kTextClear = 836,
  kTextWriteSelTitle = 840,
  kTextWriteSelLabel = 841,
  kTextWriteSelGo = 842,
  kTextWriteSelCancel = 843,
};

QString ToolString(int id);

// Item `index` of a ';'-ended list resource.
QString ToolListItem(int id, unsigned index);

// True when the language mark says Japanese (the Japanese layout).
bool JapaneseLayout();

// Control ids are the widgets' object names, so that tests and styles find them by number.
void SetControlId(QWidget* widget, int id);
int ControlId(const QObject* object);

}  // namespace kyr::ridgemo
