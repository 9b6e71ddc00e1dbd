#include "faces/PictureMats.h"

#include <algorithm>
#include <opencv2/imgproc.hpp>

namespace lumavo::faces {

namespace {

// The picture's pixels as a matrix without copying when its layout allows;
// `converted` holds the copy otherwise and must outlive the matrix.
cv::Mat Wrap(const QImage& picture, QImage& converted)
{
    const QImage* source = &picture;
    switch (picture.format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
    case QImage::Format_Grayscale8:
        break;
    default:
        converted = picture.convertToFormat(QImage::Format_RGB32);
        if (converted.isNull())
            return {};
        source = &converted;
    }
    const int type = source->format() == QImage::Format_Grayscale8 ? CV_8UC1 : CV_8UC4;
    // OpenCV only reads through this matrix.
    return cv::Mat(source->height(), source->width(), type, const_cast<uchar*>(source->constBits()),
        size_t(source->bytesPerLine()));
}

cv::Mat ToGrey(const cv::Mat& colour)
{
    cv::Mat grey;
    if (colour.channels() == 1)
        grey = colour.clone();
    else
        cv::cvtColor(colour, grey, cv::COLOR_BGRA2GRAY);
    return grey;
}

} // namespace

cv::Mat ReducedGrey(const QImage& picture, int longSide, int* factor)
{
    *factor = 1;
    if (picture.isNull() || longSide <= 0)
        return {};
    QImage converted;
    const cv::Mat source = Wrap(picture, converted);
    if (source.empty())
        return {};
    const int longest = std::max(source.cols, source.rows);
    const int k = (longest + longSide - 1) / longSide;
    *factor = k;
    if (k <= 1)
        return ToGrey(source);
    cv::Mat reduced;
    cv::resize(
        source, reduced, cv::Size(std::max(1, source.cols / k), std::max(1, source.rows / k)), 0, 0, cv::INTER_AREA);
    return ToGrey(reduced);
}

cv::Mat GreyCrop(const QImage& picture, const QRect& area, int width)
{
    const QRect inside = area.intersected(picture.rect());
    if (inside.isEmpty() || width <= 0)
        return {};
    QImage converted;
    const cv::Mat source = Wrap(picture, converted);
    if (source.empty())
        return {};
    cv::Mat part = source(cv::Rect(inside.x(), inside.y(), inside.width(), inside.height()));
    // Averaging by a whole factor first is several times faster than one
    // area resampling at an odd factor; the last small step is linear.
    const int k = inside.width() / width;
    cv::Mat reduced;
    if (k >= 2) {
        cv::resize(
            part, reduced, cv::Size(std::max(1, part.cols / k), std::max(1, part.rows / k)), 0, 0, cv::INTER_AREA);
        part = reduced;
    }
    const double scale = double(width) / part.cols;
    cv::Mat scaled;
    cv::resize(part, scaled, cv::Size(width, std::max(1, int(part.rows * scale + 0.5))), 0, 0, cv::INTER_LINEAR);
    cv::Mat grey = ToGrey(scaled);
    cv::equalizeHist(grey, grey);
    return grey;
}

} // namespace lumavo::faces
