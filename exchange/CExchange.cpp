#include "exchange/CExchange.h"

CExchange::CExchange(CExchangeHost& host, CObjectBase& objectBase)
    : host(host), objectBase(objectBase) {}
