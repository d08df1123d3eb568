#pragma once

#include "DesignSystem/Binding.h"

#include <QList>
#include <QString>
#include <QWidget>

#include <functional>

namespace ovlin {

class OvlinButton;
class OvlinText;
class PageDots;
class SlideSlot;

// One page of the first-run pager.
struct OnboardingPage
{
    QString title;
    QString body;
    QString illustrationName;
    QString ctaLabel;
};

// The first-run pager: three pages, each with an illustration band, page dots, a title, a short text and
// a button that moves on (and finishes on the last page), plus "Skip for now" on all but the last.
// Finishing marks onboarding as done, sends "onboarding.completed" and writes false into `isPresented`.
// 480 wide and as tall as the page shown. Main thread only.
class OnboardingView : public QWidget
{
    Q_OBJECT

public:
    using SignalSender = std::function<void(const QString &signalName)>;

    // `sendSignal` null: the analytics client.
    explicit OnboardingView(Binding<bool> isPresented, SignalSender sendSignal = {}, QWidget *parent = nullptr);
    ~OnboardingView() override;

    static const QList<OnboardingPage> &pages();

    int currentPage() const { return m_currentPage; }
    bool isLastPage() const { return m_currentPage == int(pages().size()) - 1; }

    OvlinButton *ctaButton() const { return m_cta; }
    // Null on the last page.
    OvlinButton *skipButton() const { return m_skipVisible ? m_skip : nullptr; }
    QWidget *pageDots() const;
    QString shownTitle() const;
    QString shownBody() const;
    QString shownIllustration() const;

    // "Page <n> of <count>".
    static QString pageLabel(int page, int count);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void advance();
    void finish();
    void showPage(bool animated);

    Binding<bool> m_isPresented;
    SignalSender m_sendSignal;
    int m_currentPage = 0;
    bool m_finished = false;
    bool m_skipVisible = true;
    SlideSlot *m_band = nullptr;
    SlideSlot *m_title = nullptr;
    SlideSlot *m_body = nullptr;
    PageDots *m_dots = nullptr;
    OvlinButton *m_cta = nullptr;
    OvlinButton *m_skip = nullptr;
    QWidget *m_skipBox = nullptr;
};

} // namespace ovlin
