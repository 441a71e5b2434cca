#pragma once

#include <QTextBrowser>

#include <memory>

namespace kovi {

class HelpBook;

// Shows topics of a help file: "chm:/page.html" and everything it references (style
// sheets, pictures) come out of the file; other links go to the desktop.
class TopicBrowser : public QTextBrowser {
    Q_OBJECT
public:
    TopicBrowser(std::shared_ptr<const HelpBook> book, QWidget* parent = nullptr);

    QVariant loadResource(int type, const QUrl& name) override;

    static QUrl topicUrl(const QString& innerPath);

private:
    void followLink(const QUrl& link);

    std::shared_ptr<const HelpBook> book_;
};

} // namespace kovi
