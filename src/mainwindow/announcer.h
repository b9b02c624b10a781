#pragma once

#include <QWidget>

namespace quillfen {

// Says an outcome to assistive technology: an alert whose name is the text, as screen readers speak
// it even while the focus is elsewhere. It takes no room and draws nothing; the designed lines in
// the diagnostic box stay as they are.
class Announcer final : public QWidget
{
    Q_OBJECT
public:
    explicit Announcer(QWidget* parent);
    void announce(const QString& text);

signals:
    void announced(const QString& text);
};

} // namespace quillfen
