// SPDX-License-Identifier: MIT
#include "leadingnumber.h"

#include <charconv>
#include <cmath>
#include <QByteArray>

namespace
{

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n';
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// Walks the text, skipping blanks between any two characters of the number.
class Scanner
{
public:
    explicit Scanner(QStringView text)
        : m_text(text)
    {
    }

    QChar peek()
    {
        while (m_pos < m_text.size() && isBlank(m_text[m_pos]))
            ++m_pos;
        return m_pos < m_text.size() ? m_text[m_pos] : QChar();
    }
    void take() { ++m_pos; }

private:
    QStringView m_text;
    qsizetype m_pos = 0;
};

int takeDigits(Scanner &scanner, QByteArray &out)
{
    int count = 0;
    for (QChar c = scanner.peek(); isDigit(c); c = scanner.peek()) {
        out += char(c.unicode());
        scanner.take();
        ++count;
    }
    return count;
}

qsizetype leadingZeros(QByteArrayView digits)
{
    qsizetype count = 0;
    while (count < digits.size() && digits[count] == '0')
        ++count;
    return count;
}

// Only asked for numbers beyond a double's range: tells too large from too small
// by where the first significant digit stands.
bool overflows(const QByteArray &mantissa, const QByteArray &exponent)
{
    const qsizetype point = mantissa.indexOf('.');
    const QByteArrayView integer = point < 0 ? mantissa : QByteArrayView(mantissa).first(point);
    double position = double(integer.size() - leadingZeros(integer));
    if (position == 0 && point >= 0)
        position = -double(leadingZeros(QByteArrayView(mantissa).sliced(point + 1)));

    if (!exponent.isEmpty()) {
        const bool negative = exponent[1] == '-';
        QByteArrayView digits
            = QByteArrayView(exponent).sliced(exponent[1] == '-' || exponent[1] == '+' ? 2 : 1);
        digits = digits.sliced(leadingZeros(digits));
        const double magnitude = digits.size() > 9 ? 1e9 : digits.toByteArray().toDouble();
        position += negative ? -magnitude : magnitude;
    }
    return position > 0;
}

} // namespace

double leadingNumber(QStringView text)
{
    Scanner scanner(text);
    bool negative = false;
    if (const QChar sign = scanner.peek(); sign == u'+' || sign == u'-') {
        negative = sign == u'-';
        scanner.take();
    }
    QByteArray mantissa;
    const int integerDigits = takeDigits(scanner, mantissa);
    int fractionDigits = 0;
    if (scanner.peek() == u'.') {
        mantissa += '.';
        scanner.take();
        fractionDigits = takeDigits(scanner, mantissa);
    }
    if (integerDigits + fractionDigits == 0)
        return 0;

    QByteArray exponent;
    if (const QChar e = scanner.peek(); e == u'E' || e == u'e' || e == u'D' || e == u'd') {
        scanner.take();
        QByteArray candidate = "e";
        if (const QChar sign = scanner.peek(); sign == u'+' || sign == u'-') {
            candidate += char(sign.unicode());
            scanner.take();
        }
        if (takeDigits(scanner, candidate) > 0)
            exponent = candidate;
    }

    const QByteArray number = mantissa + exponent;
    double value = 0;
    const auto [end, error] = std::from_chars(number.cbegin(), number.cend(), value);
    Q_UNUSED(end);
    if (error == std::errc::result_out_of_range)
        value = overflows(mantissa, exponent) ? HUGE_VAL : 0.0;
    return negative ? -value : value;
}
