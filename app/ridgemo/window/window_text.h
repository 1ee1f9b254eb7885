#pragma once
// Texts of the tool window's controls, from the tool's string table in the process language.
#include <QString>

#include "strings/text_ids.h"

class QObject;
class QWidget;

namespace kyr::ridgemo {

QString ToolString(ToolText id);

// Item `index` of a ';'-ended list resource.
QString ToolListItem(ToolText id, unsigned index);

// True when the language mark says Japanese (the Japanese layout).
bool JapaneseLayout();

// Control ids are the widgets' object names, so that tests and styles find them by number.
void SetControlId(QWidget* widget, int id);
int ControlId(const QObject* object);

}  // namespace kyr::ridgemo
