#include "training/live_metrics_page.h"

#include <QBuffer>
#include <QChart>
#include <QChartView>
#include <QClipboard>
#include <QElapsedTimer>
#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPushButton>
#include <QScatterSeries>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <map>

#include "fileio/atomic_write.h"
#include "theme/stylesheet.h"

namespace orvane {
namespace {

constexpr Measure kLossMeasures[] = {Measure::TrainBox, Measure::TrainCls, Measure::TrainDfl,
                                     Measure::TrainSeg, Measure::ValBox,   Measure::ValCls,
                                     Measure::ValDfl,   Measure::ValSeg};
constexpr Measure kQualityMeasures[] = {
    Measure::Precision,     Measure::Recall,     Measure::Map50,     Measure::Map50_95,
    Measure::PrecisionMask, Measure::RecallMask, Measure::Map50Mask, Measure::Map50_95Mask};

// A page of many epochs or trials draws at most this often: epochs that come faster (a run of
// tiny epochs, or epochs piled up in the event queue) are drawn together.
constexpr qint64 kLargeRedrawMs = 200;
// A small page draws each epoch at once, unless they come so fast (piled up in the event queue)
// that drawing them took this long since the page was last quiet for kLargeRedrawMs.
constexpr qint64 kSmallDrawingNs = 30'000'000;
// Up to this many points a line shows its points too.
constexpr int kMostPointsShown = 60;
// The picture saved of a page that is not shown: this wide, each chart this high.
constexpr int kSavedWidth = 900;
constexpr int kSavedChartHeight = 320;

// Four line colours per theme, each at least 3 : 1 against the chart's ground (the panel
// colour), as lines and points need to be seen.
constexpr const char* kDarkLines[] = {"#60A5FA", "#F472B6", "#FBBF24", "#34D399"};
constexpr const char* kLightLines[] = {"#2563EB", "#DB2777", "#B45309", "#047857"};

// Which of the four colours a measure takes, and whether it is drawn dashed (validation losses,
// mask measures): train and val box share a colour, as do box and mask precision.
std::pair<int, bool> line_style(Measure measure) {
  const int index = static_cast<int>(measure);
  if (index < static_cast<int>(Measure::Precision)) return {index % 4, index >= 4};
  const int quality = index - static_cast<int>(Measure::Precision);
  return {quality % 4, quality >= 4};
}

// A whole-number tick spacing of 1, 2 or 5 times a power of ten that gives at most `ticks`
// ticks over `span`.
double whole_interval(double span, int ticks) {
  const double raw = std::max(span / ticks, 1.0);
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (double step : {1.0, 2.0, 5.0})
    if (step * power >= raw) return step * power;
  return 10 * power;
}

// Room beside the first and the last point, so their markers are not cut off.
constexpr double kEdgeRoom = 0.3;

// An epoch or trial axis from 1 to `last`, with at most about ten ticks. Qt Charts lays out
// one label per tick whenever the range or the interval changes, so the change that gives
// fewer ticks goes first: a wide range under the interval of a narrow one would lay out a label
// per epoch, for minutes (or for good at two billion).
void set_count_axis(QValueAxis* axis, int last) {
  const double interval = whole_interval(double(last) - 1, 10);
  const double top = std::max(2, last) + kEdgeRoom;
  if (interval >= axis->tickInterval()) {
    axis->setTickInterval(interval);
    axis->setRange(1 - kEdgeRoom, top);
  } else {
    axis->setRange(1 - kEdgeRoom, top);
    axis->setTickInterval(interval);
  }
}

QString rate_text(const char* name, const std::optional<double>& rate) {
  return rate ? QStringLiteral(", %1 %2").arg(QLatin1String(name), QString::number(*rate, 'g', 4))
              : QString();
}

}  // namespace

struct LiveMetricsPage::Charts {
  struct Plot {
    QChartView* view = nullptr;
    QChart* chart = nullptr;
    QValueAxis* x = nullptr;
    QValueAxis* y = nullptr;
    std::map<Measure, QLineSeries*> series;
    QLineSeries* marker_line = nullptr;  // upright, at the best epoch or trial
  };
  Plot losses, quality, trials;
  QScatterSeries* best_epoch = nullptr;
  QLineSeries* trial_line = nullptr;
  QScatterSeries* trial_points = nullptr;
  QScatterSeries* best_trial = nullptr;
};

LiveMetricsPage::LiveMetricsPage(Dialogs& dialogs, QWidget* parent)
    : QWidget(parent), dialogs_(dialogs) {
  auto* layout = new QVBoxLayout(this);
  auto* row = new QHBoxLayout;
  lbl_live_summary = new QLabel(QStringLiteral("The charts fill as each epoch ends."));
  lbl_live_summary->setObjectName(QStringLiteral("liveSummary"));
  btn_save_png = new QPushButton(QStringLiteral("Save chart as PNG"));
  btn_copy_csv = new QPushButton(QStringLiteral("Copy values as CSV"));
  row->addWidget(lbl_live_summary, 1);
  row->addWidget(btn_save_png);
  row->addWidget(btn_copy_csv);
  layout->addLayout(row);
  chart_area_ = new QWidget;
  auto* charts = new QVBoxLayout(chart_area_);
  charts->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(chart_area_, 1);
  redraw_timer_ = new QTimer(this);
  redraw_timer_->setSingleShot(true);
  connect(redraw_timer_, &QTimer::timeout, this, &LiveMetricsPage::redraw_pending);
  connect(btn_save_png, &QPushButton::clicked, this, &LiveMetricsPage::save_chart_png);
  connect(btn_copy_csv, &QPushButton::clicked, this, &LiveMetricsPage::copy_values_csv);
  update_page();
}

LiveMetricsPage::~LiveMetricsPage() = default;

QChart* LiveMetricsPage::loss_chart() const { return charts_ ? charts_->losses.chart : nullptr; }
QChart* LiveMetricsPage::quality_chart() const {
  return charts_ ? charts_->quality.chart : nullptr;
}
QChart* LiveMetricsPage::trial_chart() const { return charts_ ? charts_->trials.chart : nullptr; }

void LiveMetricsPage::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  ensure_charts();
}

void LiveMetricsPage::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  // A theme change reaches the page as a new palette (and a new style sheet).
  if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange) apply_theme();
}

void LiveMetricsPage::ensure_charts() {
  if (charts_) return;
  charts_ = std::make_unique<Charts>();
  const auto make_plot = [this](Charts::Plot& plot, const QString& title, const QString& x_title,
                                const QString& y_title) {
    plot.chart = new QChart;
    plot.chart->setTitle(title);
    plot.chart->setBackgroundRoundness(0);
    plot.chart->setMargins(QMargins(4, 4, 4, 4));
    plot.chart->legend()->setAlignment(Qt::AlignRight);
    plot.x = new QValueAxis;
    plot.x->setTitleText(x_title);
    plot.x->setLabelFormat(QStringLiteral("%d"));
    plot.x->setTickType(QValueAxis::TicksDynamic);
    plot.x->setTickAnchor(1);
    plot.x->setTickInterval(1);
    plot.x->setRange(1 - kEdgeRoom, 2 + kEdgeRoom);
    plot.y = new QValueAxis;
    plot.y->setTitleText(y_title);
    plot.y->setLabelFormat(QStringLiteral("%.2f"));
    plot.y->setRange(0, 1);
    plot.chart->addAxis(plot.x, Qt::AlignBottom);
    plot.chart->addAxis(plot.y, Qt::AlignLeft);
    plot.marker_line = new QLineSeries;
    plot.chart->addSeries(plot.marker_line);
    plot.marker_line->attachAxis(plot.x);
    plot.marker_line->attachAxis(plot.y);
    for (QLegendMarker* marker : plot.chart->legend()->markers(plot.marker_line))
      marker->setVisible(false);
    plot.view = new QChartView(plot.chart);
    plot.view->setRenderHint(QPainter::Antialiasing);
    plot.view->setMinimumHeight(180);
    // The chart paints its own ground in the theme's panel colour.
    plot.view->setStyleSheet(QStringLiteral("QGraphicsView { border: none; }"));
    chart_area_->layout()->addWidget(plot.view);
  };
  make_plot(charts_->losses, QStringLiteral("Losses"), QStringLiteral("Epoch"),
            QStringLiteral("Loss"));
  make_plot(charts_->quality, QStringLiteral("Precision, recall and mAP"), QStringLiteral("Epoch"),
            QStringLiteral("Value"));
  make_plot(charts_->trials, QStringLiteral("AutoML trials"), QStringLiteral("Trial"),
            QStringLiteral("Fitness"));
  // A search whose trials barely learn scores 3e-05: fixed decimals would read "0.00" on every
  // tick.
  charts_->trials.y->setLabelFormat(QStringLiteral("%.3g"));

  const auto add_to = [](Charts::Plot& plot, QXYSeries* series) {
    plot.chart->addSeries(series);
    series->attachAxis(plot.x);
    series->attachAxis(plot.y);
  };
  charts_->best_epoch = new QScatterSeries;
  charts_->best_epoch->setMarkerSize(12);
  add_to(charts_->quality, charts_->best_epoch);
  charts_->trial_line = new QLineSeries;
  add_to(charts_->trials, charts_->trial_line);
  for (QLegendMarker* marker : charts_->trials.chart->legend()->markers(charts_->trial_line))
    marker->setVisible(false);
  charts_->trial_points = new QScatterSeries;
  charts_->trial_points->setName(QStringLiteral("trial fitness"));
  charts_->trial_points->setMarkerSize(9);
  add_to(charts_->trials, charts_->trial_points);
  charts_->best_trial = new QScatterSeries;
  charts_->best_trial->setMarkerSize(14);
  add_to(charts_->trials, charts_->best_trial);

  redraw_epochs();
  redraw_trials();
  apply_theme();
  update_page();
}

void LiveMetricsPage::clear_epochs() {
  history_.clear();
  lined_epochs_ = kLinesRemade;
  if (charts_) {
    for (Charts::Plot* plot : {&charts_->losses, &charts_->quality}) {
      for (const auto& [measure, series] : plot->series) {
        plot->chart->removeSeries(series);
        delete series;
      }
      plot->series.clear();
    }
    redraw_epochs();
  }
  update_page();
}

void LiveMetricsPage::clear_trials() {
  trials_.clear();
  if (charts_) redraw_trials();
  update_page();
}

void LiveMetricsPage::show_search(bool shown) {
  search_shown_ = shown;
  update_page();
}

void LiveMetricsPage::add_epoch(const EpochMetrics& epoch) {
  const std::size_t before = history_.epochs().size();
  if (!history_.add(epoch)) return;
  // An epoch that is not one more at the end changes lines already made.
  if (history_.epochs().size() == before) lined_epochs_ = kLinesRemade;
  redraw(true, false);
}

void LiveMetricsPage::set_trials(const TrialResults& trials) {
  trials_ = trials;
  redraw(false, true);
}

void LiveMetricsPage::redraw(bool epochs, bool trials) {
  if (!charts_) {
    ensure_charts();  // draws what there is
    return;
  }
  epochs_changed_ |= epochs;
  trials_changed_ |= trials;
  if (redraw_timer_->isActive()) return;
  const qint64 since = last_drawn_.isValid() ? last_drawn_.elapsed() : kLargeRedrawMs;
  if (since >= kLargeRedrawMs) small_drawing_ns_ = 0;
  const auto small = [](std::size_t count) { return count <= std::size_t(kMostPointsShown); };
  if (small(history_.epochs().size()) && small(trials_.size()) &&
      small_drawing_ns_ < kSmallDrawingNs) {
    // One draw per turn of the event loop: epochs queued behind this one (they came faster
    // than the page draws) are drawn together once the turn is over, after a paint.
    if (drawn_this_turn_) {
      redraw_timer_->start(0);
      return;
    }
    QElapsedTimer clock;
    clock.start();
    redraw_pending();
    small_drawing_ns_ += clock.nsecsElapsed();
    drawn_this_turn_ = true;
    QTimer::singleShot(0, this, [this] { drawn_this_turn_ = false; });
  } else if (since >= kLargeRedrawMs) {
    redraw_pending();
  } else {
    redraw_timer_->start(int(kLargeRedrawMs - since));
  }
}

void LiveMetricsPage::redraw_pending() {
  if (!epochs_changed_ && !trials_changed_) return;
  last_drawn_.start();
  if (epochs_changed_) redraw_epochs();
  if (trials_changed_) redraw_trials();
  epochs_changed_ = trials_changed_ = false;
  update_page();
}

void LiveMetricsPage::redraw_epochs() {
  const std::vector<EpochMetrics>& epochs = history_.epochs();
  int last_epoch = 1;
  for (const EpochMetrics& e : epochs) last_epoch = std::max(last_epoch, e.epoch);
  // Every measure's whole line, kept between draws: the epochs added since the last draw are
  // appended (an epoch replaced makes them again). An epoch without a finite value leaves a gap
  // the line bridges.
  std::vector<QList<QPointF>>& lines = lines_;
  if (lines.size() != all_measures().size() || lined_epochs_ > epochs.size()) {
    lines.assign(all_measures().size(), {});
    lined_epochs_ = 0;
  }
  for (; lined_epochs_ < epochs.size(); ++lined_epochs_) {
    const EpochMetrics& e = epochs[lined_epochs_];
    for (const auto& [measure, value] : e.values)
      if (std::isfinite(value)) lines[int(measure)] << QPointF(e.epoch, value);
  }
  bool styled = true;
  for (auto [plot, measures] :
       {std::pair{&charts_->losses, std::span<const Measure>(kLossMeasures)},
        std::pair{&charts_->quality, std::span<const Measure>(kQualityMeasures)}}) {
    double top = 0;
    for (Measure measure : measures) {
      if (!history_.has(measure)) continue;
      QLineSeries*& series = plot->series[measure];
      if (!series) {
        series = new QLineSeries;
        series->setName(measure_label(measure));
        plot->chart->addSeries(series);
        series->attachAxis(plot->x);
        series->attachAxis(plot->y);
        styled = false;
      }
      // Thinning keeps each run's highest point, so the line's highest too.
      const QList<QPointF> points = thinned_line(lines[int(measure)]);
      for (const QPointF& point : points) top = std::max(top, point.y());
      series->replace(points);
      series->setPointsVisible(epochs.size() <= kMostPointsShown);
    }
    set_count_axis(plot->x, last_epoch);
    // Antialiased dashes along thousands of turns take a frame of their own to paint.
    plot->view->setRenderHint(QPainter::Antialiasing, epochs.size() <= kMostDrawnPoints);
    // Losses from 0 to a little above the highest; the measures are fractions.
    if (plot == &charts_->quality) {
      plot->y->setRange(0, std::max(1.0, top));
    } else {
      plot->y->setRange(0, top > 0 ? top * 1.05 : 1);
      plot->y->setTickCount(6);
      plot->y->applyNiceNumbers();
    }
  }

  // The best epoch: upright lines in both charts, a point on its mAP50-95.
  const std::optional<EpochMetrics> best = history_.best_epoch();
  for (Charts::Plot* plot : {&charts_->losses, &charts_->quality}) {
    QList<QPointF> line;
    if (best) line = {QPointF(best->epoch, plot->y->min()), QPointF(best->epoch, plot->y->max())};
    plot->marker_line->replace(line);
  }
  QList<QPointF> point;
  if (best) point << QPointF(best->epoch, best->value(Measure::Map50_95).value_or(0));
  charts_->best_epoch->replace(point);
  charts_->best_epoch->setName(best ? QStringLiteral("best epoch %1").arg(best->epoch)
                                    : QStringLiteral("best epoch"));
  charts_->best_epoch->setVisible(best.has_value());  // its legend entry too
  if (!styled) apply_theme();
}

void LiveMetricsPage::redraw_trials() {
  Charts::Plot& plot = charts_->trials;
  QList<QPointF> points;
  double top = 0;
  int last = 1;
  for (const TrialResult& trial : trials_) {
    points << QPointF(trial.trial, trial.fitness);
    top = std::max(top, trial.fitness);
    last = std::max(last, trial.trial);
  }
  plot.view->setRenderHint(QPainter::Antialiasing, points.size() <= kMostDrawnPoints);
  points = thinned_line(points);
  charts_->trial_line->replace(points);
  charts_->trial_points->replace(points);
  set_count_axis(plot.x, last);
  plot.y->setRange(0, top > 0 ? top * 1.1 : 1);
  plot.y->setTickCount(6);
  plot.y->applyNiceNumbers();
  const std::optional<TrialResult> best = best_trial(trials_);
  QList<QPointF> best_point;
  QList<QPointF> line;
  if (best) {
    best_point << QPointF(best->trial, best->fitness);
    line = {QPointF(best->trial, 0), QPointF(best->trial, plot.y->max())};
  }
  charts_->best_trial->replace(best_point);
  plot.marker_line->replace(line);
  charts_->best_trial->setName(
      best ? QStringLiteral("best: trial %1%2%3")
                 .arg(best->trial)
                 .arg(rate_text("lr0", best->lr0), rate_text("lrf", best->lrf))
           : QStringLiteral("best trial"));
  charts_->best_trial->setVisible(best.has_value());
}

void LiveMetricsPage::apply_theme() {
  if (!charts_) return;
  // The style sheet and the palette both give the page its text colour: light text is the dark
  // theme.
  const bool dark = palette().color(QPalette::WindowText).lightnessF() > 0.5;
  const auto colour = [dark](const char* role) { return QColor(theme_colour(dark, role)); };
  const QColor ground = colour("panel"), text = colour("txt"), grid = colour("border"),
               mute = colour("txt_mute");
  const auto line_colour = [dark](int index) {
    return QColor(QLatin1StringView(dark ? kDarkLines[index] : kLightLines[index]));
  };
  QFont label_font = font();
  QFont title_font = font();
  title_font.setBold(true);
  for (Charts::Plot* plot : {&charts_->losses, &charts_->quality, &charts_->trials}) {
    plot->view->setBackgroundBrush(ground);
    plot->chart->setBackgroundBrush(ground);
    plot->chart->setBackgroundPen(Qt::NoPen);
    plot->chart->setTitleBrush(text);
    plot->chart->setTitleFont(title_font);
    plot->chart->legend()->setLabelColor(text);
    plot->chart->legend()->setFont(label_font);
    for (QValueAxis* axis : {plot->x, plot->y}) {
      axis->setLabelsColor(text);
      axis->setLabelsFont(label_font);
      axis->setTitleBrush(text);
      axis->setTitleFont(label_font);
      axis->setGridLineColor(grid);
      axis->setLinePenColor(grid);
    }
    QPen marker_pen(mute, 1, Qt::DashLine);
    plot->marker_line->setPen(marker_pen);
    for (const auto& [measure, series] : plot->series) {
      const auto [index, dashed] = line_style(measure);
      const QPen pen(line_colour(index), 2, dashed ? Qt::DashLine : Qt::SolidLine);
      series->setPen(pen);
      series->setColor(pen.color());
    }
  }
  for (QScatterSeries* best : {charts_->best_epoch, charts_->best_trial}) {
    best->setColor(text);
    best->setBorderColor(ground);
  }
  charts_->trial_line->setPen(QPen(line_colour(0), 1.5));
  charts_->trial_points->setColor(line_colour(0));
  charts_->trial_points->setBorderColor(ground);
}

void LiveMetricsPage::update_page() {
  const bool has_values = !history_.empty() || !trials_.isEmpty();
  btn_save_png->setEnabled(has_values);
  btn_copy_csv->setEnabled(has_values);
  QStringList summary;
  if (!history_.empty()) {
    QString text = QStringLiteral("Epoch %1").arg(history_.epochs().back().epoch);
    if (const std::optional<EpochMetrics> best = history_.best_epoch())
      text += QStringLiteral(", best epoch %1").arg(best->epoch);
    summary << text;
  }
  if (search_shown_ || !trials_.isEmpty()) {
    QString text = QStringLiteral("AutoML trials: %1").arg(trials_.size());
    if (const std::optional<TrialResult> best = best_trial(trials_))
      text += QStringLiteral(", best trial %1 (fitness %2)")
                  .arg(best->trial)
                  .arg(QString::number(best->fitness, 'g', 4));
    summary << text;
  }
  lbl_live_summary->setText(summary.isEmpty()
                                ? QStringLiteral("The charts fill as each epoch ends.")
                                : summary.join(QStringLiteral(" | ")));
  if (!charts_) return;
  const bool epochs_shown = !search_shown_ || !history_.empty();
  charts_->losses.view->setVisible(epochs_shown);
  charts_->quality.view->setVisible(epochs_shown);
  charts_->trials.view->setVisible(search_shown_ || !trials_.isEmpty());
}

QImage LiveMetricsPage::chart_image() {
  ensure_charts();
  if (!chart_area_->isVisible()) {
    // Never laid out on the screen: laid out here at a size of its own.
    int shown = 0;
    for (const Charts::Plot* plot : {&charts_->losses, &charts_->quality, &charts_->trials})
      shown += plot->view->isVisibleTo(this);
    chart_area_->resize(kSavedWidth, std::max(1, shown) * kSavedChartHeight);
    chart_area_->layout()->activate();
  }
  return chart_area_->grab().toImage();
}

void LiveMetricsPage::save_chart_png() {
  if (history_.empty() && trials_.isEmpty()) return;
  QString path = dialogs_.get_save_file_name(this, QStringLiteral("Save Chart as PNG"),
                                             QStringLiteral("live_metrics.png"),
                                             QStringLiteral("PNG image (*.png)"));
  if (path.isEmpty()) return;
  if (!path.endsWith(QLatin1String(".png"), Qt::CaseInsensitive)) path += QStringLiteral(".png");
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QString error;
  if (!chart_image().save(&buffer, "PNG")) {
    error = QStringLiteral("The picture could not be encoded.");
  } else {
    error = write_file_atomically(path, bytes);
  }
  if (!error.isEmpty())
    dialogs_.critical(this, QStringLiteral("Save Chart as PNG"),
                      QStringLiteral("Cannot save %1:\n%2").arg(path, error));
}

void LiveMetricsPage::copy_values_csv() {
  if (history_.empty() && trials_.isEmpty()) return;
  QString text;
  if (!history_.empty()) text = history_.csv();
  if (!trials_.isEmpty()) {
    if (!text.isEmpty()) text += QLatin1Char('\n');
    text += trials_csv(trials_);
  }
  QGuiApplication::clipboard()->setText(text);
}

}  // namespace orvane
