#pragma once
// The text beside a main window's progress bar: what the run is doing
// ("Passo 4 di 13: Pagamenti → tblTiPagamento") and how far it got. Each
// line that does not fit is shortened in the middle with an ellipsis, so
// the beginning and the end of a long table name both stay readable; the
// whole text is the tooltip.

#include <QLabel>
#include <QString>

namespace ui {

class ProgressCaption : public QLabel {
    Q_OBJECT
public:
    explicit ProgressCaption(QWidget* parent = nullptr);

    // Lines separated by '\n'.
    void SetFullText(const QString& text);
    const QString& FullText() const { return full_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void Elide();

    QString full_;
};

// Each line of `text` shortened in the middle to `width` pixels of `metrics`.
QString ElideLines(const QString& text, const QFontMetrics& metrics, int width);

}  // namespace ui
