#pragma once

#include <QPoint>
#include <QRect>
#include <QString>
#include <optional>
#include <variant>
#include <vector>

namespace dbk {

// A colour of a picture (the widgets turn it into a QColor).
struct Rgb {
    int r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

namespace colours {
inline constexpr Rgb kBlack{0, 0, 0};
inline constexpr Rgb kWhite{255, 255, 255};
inline constexpr Rgb kRed{255, 0, 0};
inline constexpr Rgb kBlue{0, 0, 255};
inline constexpr Rgb kDarkBlue{0, 0, 100};
inline constexpr Rgb kYellow{255, 255, 0};
inline constexpr Rgb kGreen{0, 128, 0};
}  // namespace colours

// Which font a text is drawn in; the painting widget maps roles to fonts.
enum class FontRole {
    Normal,
    Small,
    Bold,
    Title,
    // The picture pane's fonts, in fixed pixel sizes.
    PageTitle,
    PageHeading,
    PageSmallItalic,
    PageLabel,
    PageTiny,
    PageWord,
};

struct DrawText {
    QPoint position;  // top-left corner of the text
    QString text;
    FontRole font = FontRole::Normal;
    Rgb colour = colours::kBlack;
};

struct DrawLine {
    QPoint from;
    QPoint to;
    Rgb colour = colours::kBlack;
    int width = 1;
};

// A filled face; with an outline colour its edges are drawn too.
struct DrawPolygon {
    std::vector<QPoint> points;
    Rgb fill;
    std::optional<Rgb> outline;
};

// A bar or frame; unfilled when fill is empty.
struct DrawRect {
    QRect rect;
    std::optional<Rgb> fill;
    std::optional<Rgb> outline = colours::kBlack;
};

struct DrawIcon {
    QPoint position;
    QString resource;  // ":/icons/…"
    int size = 16;
};

using DrawItem = std::variant<DrawText, DrawLine, DrawPolygon, DrawRect, DrawIcon>;

// A picture as a list of what to draw, in order. The logic computes it; a thin widget paints
// it; tests read it.
struct DrawingList {
    std::optional<Rgb> background;
    std::vector<DrawItem> items;

    void text(QPoint at, QString s, Rgb colour = colours::kBlack, FontRole font = FontRole::Normal) {
        items.push_back(DrawText{at, std::move(s), font, colour});
    }
    void line(QPoint from, QPoint to, Rgb colour = colours::kBlack, int width = 1) {
        items.push_back(DrawLine{from, to, colour, width});
    }
    void polygon(std::vector<QPoint> points, Rgb fill, std::optional<Rgb> outline = std::nullopt) {
        items.push_back(DrawPolygon{std::move(points), fill, outline});
    }
    void rect(QRect r, std::optional<Rgb> fill, std::optional<Rgb> outline = colours::kBlack) {
        items.push_back(DrawRect{r, fill, outline});
    }
    void icon(QPoint at, QString resource, int size = 16) {
        items.push_back(DrawIcon{at, std::move(resource), size});
    }

    // What tests look for: every item of one kind, in order.
    template <class T>
    std::vector<T> all() const {
        std::vector<T> out;
        for (const DrawItem& item : items) {
            if (const T* t = std::get_if<T>(&item))
                out.push_back(*t);
        }
        return out;
    }
    // The first text equal to `s`, if any.
    std::optional<DrawText> findText(const QString& s) const {
        for (const DrawText& t : all<DrawText>()) {
            if (t.text == s)
                return t;
        }
        return std::nullopt;
    }
};

}  // namespace dbk
