// The help document: well-formed, every link inside it lands on a target, the
// contents reach every topic, and the help window's renderer sees the targets
// it scrolls to (help context N is the element with id "context-N").
#include <QFile>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTextBlock>
#include <QTextDocument>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <map>

namespace {

QString helpPath() {
    return QStringLiteral(TALVO_SOURCE_DIR "docs/help/talvo.html");
}

QByteArray helpBytes() {
    QFile file(helpPath());
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << qPrintable(helpPath());
    return file.readAll();
}

// What the checks need from one pass over the document.
struct Outline {
    QString error;                          // empty when well-formed
    std::map<QString, int> ids;             // id -> occurrences
    QStringList links;                      // every href
    QStringList contentsLinks;              // hrefs of the list after the "contents" heading
    QSet<QString> elements;                 // every element name used
    QStringList eventAttributes;            // on... attributes (script)
    std::map<QString, QString> headingText; // heading id -> its text
};

Outline outline(const QByteArray& bytes) {
    Outline result;
    QXmlStreamReader xml(bytes);
    bool inContentsList = false, contentsSeen = false;
    int contentsDepth = 0;
    QString heading; // id of the heading being read
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            const QString name = xml.name().toString();
            const auto attributes = xml.attributes();
            result.elements.insert(name);
            for (const auto& attribute : attributes)
                if (attribute.name().startsWith(QLatin1String("on")))
                    result.eventAttributes << attribute.name().toString();
            const QString id = attributes.value(QLatin1String("id")).toString();
            if (!id.isEmpty())
                ++result.ids[id];
            if ((name == QLatin1String("h2") || name == QLatin1String("h3")) && !id.isEmpty())
                heading = id;
            if (name == QLatin1String("h2") && id == QLatin1String("contents"))
                contentsSeen = true;
            if (name == QLatin1String("ul") && contentsSeen && !inContentsList)
                inContentsList = true;
            if (inContentsList && name == QLatin1String("ul"))
                ++contentsDepth;
            if (name == QLatin1String("a") && attributes.hasAttribute(QLatin1String("href"))) {
                const QString href = attributes.value(QLatin1String("href")).toString();
                result.links << href;
                if (inContentsList)
                    result.contentsLinks << href;
            }
        } else if (token == QXmlStreamReader::EndElement) {
            const auto name = xml.name();
            if (inContentsList && name == QLatin1String("ul") && --contentsDepth == 0) {
                inContentsList = false;
                contentsSeen = false;
            }
            if (name == QLatin1String("h2") || name == QLatin1String("h3"))
                heading.clear();
        } else if (token == QXmlStreamReader::Characters && !heading.isEmpty()) {
            result.headingText[heading] += xml.text();
        }
    }
    if (xml.hasError())
        result.error = QStringLiteral("line %1: %2").arg(xml.lineNumber()).arg(xml.errorString());
    return result;
}

class HelpDocument : public ::testing::Test {
protected:
    void SetUp() override {
        bytes_ = helpBytes();
        doc_ = outline(bytes_);
        ASSERT_TRUE(doc_.error.isEmpty()) << qPrintable(doc_.error);
    }
    QByteArray bytes_;
    Outline doc_;
};

TEST_F(HelpDocument, IsUtf8WithoutScript) {
    EXPECT_TRUE(QString::fromUtf8(bytes_).toUtf8() == bytes_) << "not valid UTF-8";
    EXPECT_TRUE(bytes_.contains("<meta charset=\"utf-8\""));
    EXPECT_TRUE(bytes_.contains("<html lang=\"ja\""));
    EXPECT_FALSE(doc_.elements.contains(QStringLiteral("script")));
    EXPECT_TRUE(doc_.eventAttributes.isEmpty()) << qPrintable(doc_.eventAttributes.join(' '));
}

TEST_F(HelpDocument, IdsAreUniqueAndEveryLinkLandsOnOne) {
    for (const auto& [id, count] : doc_.ids)
        EXPECT_EQ(count, 1) << "id used twice: " << qPrintable(id);
    for (const QString& link : doc_.links) {
        // The help window shows this one file; a link out of it would go nowhere.
        ASSERT_TRUE(link.startsWith(QLatin1Char('#'))) << qPrintable(link);
        EXPECT_TRUE(doc_.ids.count(link.mid(1))) << "no target for " << qPrintable(link);
    }
}

TEST_F(HelpDocument, ContentsLinkEveryTopic) {
    ASSERT_FALSE(doc_.contentsLinks.isEmpty()) << "no contents list after the contents heading";
    for (const QString& link : doc_.contentsLinks)
        EXPECT_TRUE(doc_.ids.count(link.mid(1))) << "no target for " << qPrintable(link);
    // Every h2 topic is in the contents (h3 subtopics may be reached from their topic).
    QXmlStreamReader xml(bytes_);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != QLatin1String("h2"))
            continue;
        const QString id = xml.attributes().value(QLatin1String("id")).toString();
        if (id == QLatin1String("contents"))
            continue;
        EXPECT_FALSE(id.isEmpty()) << "a topic heading without id";
        EXPECT_TRUE(doc_.contentsLinks.contains(QLatin1Char('#') + id))
            << "topic not in the contents: " << qPrintable(id);
    }
}

TEST_F(HelpDocument, GrepProgramTopicIsTheOneTheNoProgramMessageNames) {
    // The message at start-up sends the user to the topic by this title.
    ASSERT_TRUE(doc_.ids.count(QStringLiteral("context-7000")));
    EXPECT_EQ(doc_.headingText[QStringLiteral("context-7000")],
              QStringLiteral("対応GREPプログラムの入手先とインストール"));
    const QString text = QString::fromUtf8(bytes_);
    for (const char* name : {"cgrep.exe", "dgrep.exe", "izgrep.exe", "jgrep.exe", "wgrep.com",
                             "ygrep.exe", "talvo-grep", "talvo-cmd"})
        EXPECT_TRUE(text.contains(QLatin1String(name))) << name;
}

TEST_F(HelpDocument, RendererKnowsEveryLinkTargetAsAnAnchor) {
    // The help window scrolls with the renderer's anchors, not with the XML ids.
    QTextDocument rendered;
    rendered.setHtml(QString::fromUtf8(bytes_));
    QSet<QString> anchors;
    for (QTextBlock block = rendered.begin(); block.isValid(); block = block.next()) {
        for (const QString& name : block.charFormat().anchorNames())
            anchors.insert(name);
        for (auto it = block.begin(); !it.atEnd(); ++it)
            for (const QString& name : it.fragment().charFormat().anchorNames())
                anchors.insert(name);
    }
    EXPECT_TRUE(anchors.contains(QStringLiteral("context-7000")));
    for (const QString& link : doc_.links)
        EXPECT_TRUE(anchors.contains(link.mid(1)))
            << "the renderer cannot scroll to " << qPrintable(link);
    EXPECT_TRUE(rendered.toPlainText().contains(QStringLiteral("はじめての検索")));
}

} // namespace
