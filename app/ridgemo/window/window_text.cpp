#include "window/window_text.h"

#include <QWidget>

#include "images/image_names.h"
#include "strings/strings.h"

namespace kyr::ridgemo {
namespace {
constexpr const char* kControlIdProperty = "controlId";
}  // namespace

QString ToolString(ToolText id) {
  const std::string_view text = LoadString(id);
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString ToolListItem(ToolText id, unsigned index) {
  const std::string_view text = ListItem(id, index, CurrentLanguage());
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

bool JapaneseLayout() {
  return images::LanguageMark() == 'J';
}

void SetControlId(QWidget* widget, int id) {
  widget->setObjectName(QString::number(id));
  widget->setProperty(kControlIdProperty, id);
}

int ControlId(const QObject* object) {
  const QVariant id = object->property(kControlIdProperty);
  return id.isValid() ? id.toInt() : 0;
}

}  // namespace kyr::ridgemo
