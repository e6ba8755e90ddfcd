// talvo-icon: renders the application icon (talvo.svg) to a PNG of one size.
// The icon uses a small part of SVG only (rect with rx/ry, circle, line; fill,
// fill-opacity, stroke, stroke-width, stroke-linecap), so the build needs no
// SVG library. Anything outside that part is refused with a message, so an
// edited icon never renders silently wrong.
//
// usage: talvo-icon INPUT.svg SIZE OUTPUT.png
#include <QColor>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <QXmlStreamReader>

#include <cstdio>
#include <optional>

namespace {

struct Failure {
    QString message;
};

double number(const QXmlStreamAttributes& attributes, const char* name, double fallback = 0) {
    const QString text = attributes.value(QLatin1String(name)).toString().trimmed();
    if (text.isEmpty())
        return fallback;
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok)
        throw Failure{
            QStringLiteral("attribute %1=\"%2\" is not a number").arg(QLatin1String(name), text)};
    return value;
}

std::optional<QColor> colour(const QXmlStreamAttributes& attributes, const char* name,
                             const char* opacityName) {
    const QString text = attributes.value(QLatin1String(name)).toString().trimmed();
    if (text.isEmpty() || text == QLatin1String("none"))
        return std::nullopt;
    QColor result = QColor::fromString(text);
    if (!result.isValid())
        throw Failure{QStringLiteral("%1=\"%2\" is not a colour").arg(QLatin1String(name), text)};
    result.setAlphaF(static_cast<float>(number(attributes, opacityName, 1.0)));
    return result;
}

// Sets brush and pen from the element's paint attributes.
void usePaint(QPainter& painter, const QXmlStreamAttributes& attributes) {
    const std::optional<QColor> fill = colour(attributes, "fill", "fill-opacity");
    painter.setBrush(fill ? QBrush(*fill) : QBrush(Qt::NoBrush));
    const std::optional<QColor> stroke = colour(attributes, "stroke", "stroke-opacity");
    if (!stroke) {
        painter.setPen(Qt::NoPen);
        return;
    }
    QPen pen(*stroke, number(attributes, "stroke-width", 1.0));
    const auto cap = attributes.value(QLatin1String("stroke-linecap"));
    pen.setCapStyle(cap == QLatin1String("round")    ? Qt::RoundCap
                    : cap == QLatin1String("square") ? Qt::SquareCap
                                                     : Qt::FlatCap);
    painter.setPen(pen);
}

QImage render(QXmlStreamReader& svg, int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    bool sawRoot = false;
    while (!svg.atEnd()) {
        if (svg.readNext() != QXmlStreamReader::StartElement)
            continue;
        const auto attributes = svg.attributes();
        const auto name = svg.name();
        if (name == QLatin1String("svg")) {
            // viewBox "0 0 W H": the drawing is scaled so W fills the image.
            const QStringList box = attributes.value(QLatin1String("viewBox"))
                                        .toString()
                                        .split(QLatin1Char(' '), Qt::SkipEmptyParts);
            const double width = box.size() == 4 ? box[2].toDouble() : number(attributes, "width");
            if (width <= 0)
                throw Failure{QStringLiteral("the svg element has no usable viewBox or width")};
            painter.scale(size / width, size / width);
            sawRoot = true;
        } else if (name == QLatin1String("rect")) {
            usePaint(painter, attributes);
            const double rx = number(attributes, "rx");
            painter.drawRoundedRect(QRectF(number(attributes, "x"), number(attributes, "y"),
                                           number(attributes, "width"),
                                           number(attributes, "height")),
                                    rx, number(attributes, "ry", rx));
        } else if (name == QLatin1String("circle")) {
            usePaint(painter, attributes);
            const double r = number(attributes, "r");
            painter.drawEllipse(QPointF(number(attributes, "cx"), number(attributes, "cy")), r, r);
        } else if (name == QLatin1String("line")) {
            usePaint(painter, attributes);
            painter.drawLine(QPointF(number(attributes, "x1"), number(attributes, "y1")),
                             QPointF(number(attributes, "x2"), number(attributes, "y2")));
        } else {
            throw Failure{QStringLiteral("line %1: <%2> is not supported")
                              .arg(svg.lineNumber())
                              .arg(name.toString())};
        }
    }
    if (svg.hasError())
        throw Failure{QStringLiteral("line %1: %2").arg(svg.lineNumber()).arg(svg.errorString())};
    if (!sawRoot)
        throw Failure{QStringLiteral("no svg element")};
    return image;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: talvo-icon INPUT.svg SIZE OUTPUT.png\n");
        return 2;
    }
    const QString input = QString::fromLocal8Bit(argv[1]);
    const int size = QString::fromLocal8Bit(argv[2]).toInt();
    const QString output = QString::fromLocal8Bit(argv[3]);
    if (size < 1 || size > 4096) {
        std::fprintf(stderr, "talvo-icon: size %s is not between 1 and 4096\n", argv[2]);
        return 2;
    }
    QFile file(input);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "talvo-icon: cannot read %s\n", argv[1]);
        return 1;
    }
    try {
        QXmlStreamReader svg(&file);
        const QImage image = render(svg, size);
        if (!image.save(output, "PNG")) {
            std::fprintf(stderr, "talvo-icon: cannot write %s\n", argv[3]);
            return 1;
        }
    } catch (const Failure& failure) {
        std::fprintf(stderr, "talvo-icon: %s: %s\n", argv[1], qPrintable(failure.message));
        return 1;
    }
    return 0;
}
