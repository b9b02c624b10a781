#pragma once

#include <QWidget>

class QAccessibleEvent;

namespace quillfen {

// Says an outcome to assistive technology: a notification whose name is the text, shown anew for
// each outcome, as screen readers speak that even while the focus is elsewhere. It takes no room
// and draws nothing; the designed lines in the diagnostic box stay as they are.
class Announcer final : public QWidget
{
    Q_OBJECT
public:
    explicit Announcer(QWidget* parent);
    void announce(const QString& text);
    // Where the announcements' events go: null, to assistive technology; else to a test, which
    // listens in a screen reader's place (offscreen, Qt passes no events on).
    static void setEventSink(void (*sink)(QAccessibleEvent* event));

signals:
    void announced(const QString& text);
};

} // namespace quillfen
