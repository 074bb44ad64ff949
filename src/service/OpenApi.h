#pragma once
// The API's OpenAPI 3 description (data/service/openapi.json, built in).

#include <string>

namespace orvanta::service {

const std::string& openApiDocument();

}  // namespace orvanta::service
