// The reference host's math library: matrix arithmetic, indexing and text.
#include "host/mathvalues.h"

#include <stdexcept>

#include "model/errors.h"

namespace kalhost
{
namespace
{

void checkRowColumn(int row, int column, int size)
{
    if (row < 0 || row >= size || column < 0 || column >= size)
        throw std::out_of_range("Matrix" + std::to_string(size) + " row or column out of range");
}

template <int N>
std::string listedRows(double const (&m)[N][N])
{
    std::string text = "[";
    for (int i = 0; i < N; ++i)
        text += (i ? ", " : "") + listed(m[i], N, false);
    return text + "]";
}

template <int N, class M>
void setRows(M &matrix, std::vector<std::vector<double> > const &rows, char const *what)
{
    if (rows.size() != std::size_t(N))
        throw KOM_InvalidSize((std::string(what) + " takes " + std::to_string(N) + " rows, not " +
                               std::to_string(rows.size()))
                                  .c_str());
    double entries[N][N];
    for (int i = 0; i < N; ++i)
        copyExactly<N>(rows[i], entries[i], (std::string(what) + " row").c_str());
    std::copy(&entries[0][0], &entries[0][0] + N * N, &matrix.m[0][0]);
}

template <int N, class M>
std::vector<std::vector<double> > rowsOf(M const &matrix)
{
    std::vector<std::vector<double> > rows;
    rows.reserve(N);
    for (auto const &row : matrix.m)
        rows.emplace_back(row, row + N);
    return rows;
}

} // namespace

// --- journal forms ---

JournalValue JournalFormat<KOM_Matrix3>::format(KOM_Matrix3 const &value)
{
    return journalValue(rowsOf<3>(value));
}

JournalValue JournalFormat<KOM_Matrix4>::format(KOM_Matrix4 const &value)
{
    return journalValue(rowsOf<4>(value));
}

} // namespace kalhost

using namespace kalhost;

// --- Matrix3 ---

bool KOM_Matrix3::__eq__(KOM_Matrix3 &other)
{
    hostOperation("Matrix3.__eq__", other);
    return std::equal(&m[0][0], &m[0][0] + 9, &other.m[0][0]);
}

bool KOM_Matrix3::isAlmostEqual(KOM_Matrix3 &other, double tolerance)
{
    hostOperation("Matrix3.isAlmostEqual", other, tolerance);
    return allWithin(&m[0][0], &other.m[0][0], 9, tolerance);
}

int KOM_Matrix3::__hash__()
{
    hostOperation("Matrix3.__hash__");
    return hashOf(&m[0][0], 9);
}

std::string KOM_Matrix3::__str__()
{
    hostOperation("Matrix3.__str__");
    return listedRows(m);
}

std::string KOM_Matrix3::__repr__()
{
    hostOperation("Matrix3.__repr__");
    return "<kal.Matrix3 " + listedRows(m) + ">";
}

double KOM_Matrix3::at(int row, int column)
{
    hostOperation("Matrix3.at", row, column);
    checkRowColumn(row, column, 3);
    return m[row][column];
}

std::vector<double> KOM_Matrix3::asTuple()
{
    hostOperation("Matrix3.asTuple");
    return std::vector<double>(&m[0][0], &m[0][0] + 9);
}

std::vector<std::vector<double> > KOM_Matrix3::asTupleOfTuples()
{
    hostOperation("Matrix3.asTupleOfTuples");
    return rowsOf<3>(*this);
}

void KOM_Matrix3::setAt(int row, int column, double value)
{
    hostOperation("Matrix3.setAt", row, column, value);
    checkRowColumn(row, column, 3);
    m[row][column] = value;
}

void KOM_Matrix3::setTo(std::vector<double> const &values)
{
    hostOperation("Matrix3.setTo", values);
    copyExactly<9>(values, &m[0][0], "A Matrix3");
}

void KOM_Matrix3::setTo(std::vector<std::vector<double> > const &rows)
{
    hostOperation("Matrix3.setTo", rows);
    setRows<3>(*this, rows, "A Matrix3");
}

KOM_Matrix3 KOM_Matrix3::__add__(KOM_Matrix3 &other)
{
    hostOperation("Matrix3.__add__", other);
    KOM_Matrix3 result;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            result.m[i][j] = m[i][j] + other.m[i][j];
    return result;
}

KOM_Matrix3 KOM_Matrix3::__sub__(KOM_Matrix3 &other)
{
    hostOperation("Matrix3.__sub__", other);
    KOM_Matrix3 result;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            result.m[i][j] = m[i][j] - other.m[i][j];
    return result;
}

KOM_Matrix3 KOM_Matrix3::__mul__(KOM_Matrix3 &other)
{
    hostOperation("Matrix3.__mul__", other);
    return product<3>(*this, other);
}

KOM_Matrix3 KOM_Matrix3::__mul__(double scalar)
{
    hostOperation("Matrix3.__mul__", scalar);
    KOM_Matrix3 result;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            result.m[i][j] = m[i][j] * scalar;
    return result;
}

KOM_Matrix3 KOM_Matrix3::preMult(KOM_Matrix3 &other)
{
    hostOperation("Matrix3.preMult", other);
    return product<3>(other, *this);
}

KOM_Matrix3 KOM_Matrix3::transposed()
{
    hostOperation("Matrix3.transposed");
    return transposedOf<3>(*this);
}

KOM_Matrix3 KOM_Matrix3::inverted()
{
    hostOperation("Matrix3.inverted");
    return inverseOf<3>(*this);
}

// --- Matrix4 ---

bool KOM_Matrix4::isAlmostEqual(KOM_Matrix4 &other, double tolerance)
{
    hostOperation("Matrix4.isAlmostEqual", other, tolerance);
    return allWithin(&m[0][0], &other.m[0][0], 16, tolerance);
}

int KOM_Matrix4::__hash__()
{
    hostOperation("Matrix4.__hash__");
    return hashOf(&m[0][0], 16);
}

std::string KOM_Matrix4::__str__()
{
    hostOperation("Matrix4.__str__");
    return listedRows(m);
}

std::string KOM_Matrix4::__repr__()
{
    hostOperation("Matrix4.__repr__");
    return "<kal.Matrix4 " + listedRows(m) + ">";
}

double KOM_Matrix4::at(int row, int column)
{
    hostOperation("Matrix4.at", row, column);
    checkRowColumn(row, column, 4);
    return m[row][column];
}

std::vector<double> KOM_Matrix4::asTuple()
{
    hostOperation("Matrix4.asTuple");
    return std::vector<double>(&m[0][0], &m[0][0] + 16);
}

std::vector<std::vector<double> > KOM_Matrix4::asTupleOfTuples()
{
    hostOperation("Matrix4.asTupleOfTuples");
    return rowsOf<4>(*this);
}

void KOM_Matrix4::setAt(int row, int column, double value)
{
    hostOperation("Matrix4.setAt", row, column, value);
    checkRowColumn(row, column, 4);
    m[row][column] = value;
}

void KOM_Matrix4::setTo(std::vector<double> const &values)
{
    hostOperation("Matrix4.setTo", values);
    copyExactly<16>(values, &m[0][0], "A Matrix4");
}

void KOM_Matrix4::setTo(std::vector<std::vector<double> > const &rows)
{
    hostOperation("Matrix4.setTo", rows);
    setRows<4>(*this, rows, "A Matrix4");
}

KOM_Matrix4 KOM_Matrix4::__add__(KOM_Matrix4 &other)
{
    hostOperation("Matrix4.__add__", other);
    KOM_Matrix4 result;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            result.m[i][j] = m[i][j] + other.m[i][j];
    return result;
}

KOM_Matrix4 KOM_Matrix4::__sub__(KOM_Matrix4 &other)
{
    hostOperation("Matrix4.__sub__", other);
    KOM_Matrix4 result;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            result.m[i][j] = m[i][j] - other.m[i][j];
    return result;
}

KOM_Matrix4 KOM_Matrix4::__mul__(KOM_Matrix4 &other)
{
    hostOperation("Matrix4.__mul__", other);
    return product<4>(*this, other);
}

KOM_Matrix4 KOM_Matrix4::__mul__(double scalar)
{
    hostOperation("Matrix4.__mul__", scalar);
    KOM_Matrix4 result;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            result.m[i][j] = m[i][j] * scalar;
    return result;
}

KOM_Matrix4 KOM_Matrix4::preMult(KOM_Matrix4 &other)
{
    hostOperation("Matrix4.preMult", other);
    return product<4>(other, *this);
}

KOM_Matrix4 KOM_Matrix4::transposed()
{
    hostOperation("Matrix4.transposed");
    return transposedOf<4>(*this);
}

KOM_Matrix4 KOM_Matrix4::inverted()
{
    hostOperation("Matrix4.inverted");
    return inverseOf<4>(*this);
}

double KOM_Matrix4::cofactor(int row, int column)
{
    hostOperation("Matrix4.cofactor", row, column);
    checkRowColumn(row, column, 4);
    KOM_Matrix3 minor;
    for (int i = 0, r = 0; i < 4; ++i)
    {
        if (i == row)
            continue;
        for (int j = 0, c = 0; j < 4; ++j)
            if (j != column)
                minor.m[r][c++] = m[i][j];
        ++r;
    }
    return ((row + column) % 2 ? -1.0 : 1.0) * minor.determinant();
}
