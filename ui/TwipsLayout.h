#pragma once
// The main windows are laid out in twips, as designed: 15 twips to a pixel.

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRect>
#include <QString>

#include <utility>

namespace ui {

inline constexpr int kTwipsPerPixel = 15;

inline QRect Twips(int left, int top, int width, int height) {
    return QRect(left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel, height / kTwipsPerPixel);
}

// A child of `parent` named by its design name.
template <class W>
W* Place(QWidget* parent, const char* name, const QRect& geometry) {
    auto* w = new W(parent);
    w->setObjectName(QString::fromLatin1(name));
    w->setGeometry(geometry);
    return w;
}

// A read-only path and the ".." button beside it that chooses it.
inline std::pair<QLineEdit*, QPushButton*> PlacePathField(QWidget* parent, const char* pathName, const QRect& pathGeometry,
                                const char* buttonName, const QRect& buttonGeometry) {
    auto* path = Place<QLineEdit>(parent, pathName, pathGeometry);
    path->setReadOnly(true);
    auto* choose = Place<QPushButton>(parent, buttonName, buttonGeometry);
    choose->setText(QStringLiteral(".."));
    choose->setAutoDefault(false);
    return {path, choose};
}

// A label as wide as its text.
inline QLabel* Caption(QWidget* parent, const char* name, const QString& text, int left, int top) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->adjustSize();
    label->move(left / kTwipsPerPixel, top / kTwipsPerPixel);
    return label;
}

// One engraved separator across the window: a grey line with a white one
// just below it.
inline void Separator(QWidget* parent, const char* grey, const char* white, int topTwips, int widthTwips) {
    Place<QFrame>(parent, grey, Twips(0, topTwips, widthTwips, 15))->setStyleSheet("background-color: #808080;");
    Place<QFrame>(parent, white, Twips(0, topTwips + 15, widthTwips, 15))->setStyleSheet("background-color: #FFFFFF;");
}

}  // namespace ui
