#include "core/ProductInfo.h"

#include "ProductVersion.h"

const ProductInfo& LoadProductInfo()
{
    static ProductInfo info;
    info.productName = QStringLiteral(VISTREL_PRODUCT_NAME);
    info.companyName = QStringLiteral(VISTREL_COMPANY_NAME);
    info.website = QStringLiteral(VISTREL_WEBSITE);
    info.majorVersion = VISTREL_VERSION_MAJOR;
    info.minorVersion = VISTREL_VERSION_MINOR;
    return info;
}
