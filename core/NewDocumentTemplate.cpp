#include "NewDocumentTemplate.h"

namespace qrn {

std::u16string NewDocumentTemplate()
{
    return u"＜ページ＞\r\n"
           u"      ＜ヘッド＞\r\n"
           u"          ＜タイトル＞＜タイトル終わり＞\r\n"
           u"      ＜ヘッド終わり＞\r\n"
           u"      ＜全体　背景色＝「白」＞\r\n"
           u"      ＜書体　色＝「黒」＞\r\n"
           u"\r\n"
           u"      ＜書体終わり＞\r\n"
           u"      ＜全体終わり＞\r\n"
           u"＜ページ終わり＞";
}

} // namespace qrn
