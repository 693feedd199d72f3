#pragma once

#include <string>

// Whoever hosts a CBigListCtrl answers its cell text requests: the control keeps
// no rows, it asks for a cell's text each time it draws or copies the cell.
class CBigListOwner
{
public:
    virtual ~CBigListOwner() = default;
    virtual std::string GetCellText(int nRow, int nColumn) = 0;
};
