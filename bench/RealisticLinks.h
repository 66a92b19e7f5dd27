// A mixed set of links as people copy them, for the cleaning benchmarks and
// the check that the indexed rule matching answers as the rule-by-rule one.
//
// Some 360 distinct links from many sites: about a third without any tracking,
// search, shop, video, social and newsletter links with their tracking
// parameters, affiliate tags, redirect wrappers (nested too), percent-encoded
// names and values, non-ASCII text and fragments.
#pragma once

#include <string>
#include <vector>

namespace scourlet::bench {

inline std::vector<std::string> realisticLinks() {
    // Each template is filled with a few different ids, so every link differs.
    static const std::vector<std::string> kTemplates = {
        // Without tracking.
        "https://en.wikipedia.org/wiki/Regular_expression_{}",
        "https://github.com/org/repo{}/pull/123/files",
        "https://docs.example.com/guide/install?version={}&lang=en#linux",
        "https://www.example.com/products/{}",
        "https://news.ycombinator.com/item?id=3870{}",
        "https://stackoverflow.com/questions/1{}/how-to-parse-a-url",
        "https://www.bbc.co.uk/news/world-{}",
        "https://crates.io/crates/regex{}",
        "https://www.youtube.com/watch?v=dQw4w9WgX{}&t=42",
        "https://maps.example.org/place/{}#map=12/52.5/13.4",
        "https://www.amazon.de/dp/B0{}ABCDX",
        "https://mail.example.net/u/0/#inbox/{}",
        "https://shop.example.com/cart?item={}&qty=2",
        "http://intranet.local/wiki/Page_{}?action=edit",
        "https://www.google.com/maps/@52.52{},13.40,15z",
        "https://example.org/caf%C3%A9/{}?q=%E2%82%AC",
        "https://www.reddit.com/r/cpp/comments/abc{}/title/",
        "https://twitter.com/someone/status/12345678901234{}",
        // Search.
        "https://www.google.com/search?q=rules+engine+{}&client=firefox-b-d&sca_esv=123&ei=abc"
        "&ved=0ahUKE&uact=5&oq=rules&sclient=gws-wiz",
        "https://www.google.de/search?q=wetter{}&sxsrf=AB5stB&source=hp&ei=xyz&iflsig=AO6bgOg"
        "&gs_lcp=Cgdnd3Mtd2l6&sclient=gws-wiz",
        "https://www.google.com/search?q=pizza+{}#lkt=LocalPoiReviews&trex=m_t:lcl_akp",
        "https://www.bing.com/search?q=test{}&form=QBLH&sp=-1&pq=test&sc=8-4&qs=n&sk=&cvid=ABC",
        "https://duckduckgo.com/?q=privacy{}&t=h_&ia=web",
        "https://search.yahoo.com/search?p=news{}&fr=yfp-t&fp=1&toggle=1&cop=mss&ei=UTF-8",
        // Shops and affiliates.
        "https://www.amazon.com/Some-Product-Name/dp/B08N5WR{}/ref=sr_1_3?crid=2M096C61O4MLT"
        "&keywords=usb+c+cable&qid=1699999999&sprefix=usb%2Caps%2C123&sr=8-3&th=1",
        "https://www.amazon.co.uk/gp/product/B07{}XYZ/ref=ppx_yo_dt_b_asin_title_o00_s00?ie=UTF8"
        "&psc=1&tag=affiliate-21&linkCode=ll1&ascsubtag=abc",
        "https://www.ebay.com/itm/1234{}?hash=item1a2b3c&_trkparms=ispr%3D1&amdata=enc%3AAQ&mkcid=1"
        "&mkrid=711&campid=5338&toolid=10001",
        "https://www.aliexpress.com/item/100500{}.html?spm=a2g0o.home.0.0&algo_pvid=abc"
        "&aff_fcid=xyz&aff_platform=portals-tool&sk=_dTRt&aff_trace_key=123",
        "https://www.etsy.com/listing/12{}/handmade-mug?ga_order=most_relevant&ga_search_type=all"
        "&ref=sr_gallery-1-3&click_key=abc&click_sum=def&pro=1",
        "https://shop.example.com/item/{}?ref=affiliate_x&aff_id=77&utm_source=partner"
        "&utm_medium=affiliate",
        "https://www.walmart.com/ip/Product/{}?athbdg=L1600&from=/search&wmlspartner=abc",
        // Video and social.
        "https://www.youtube.com/watch?v=dQw4w9WgX{}&feature=share&si=AbCdEfGhIjKlMnOp"
        "&pp=ygUJcmljaw",
        "https://youtu.be/dQw4w9WgX{}?si=AbCdEfGhIjKlMnOp&t=42",
        "https://music.youtube.com/watch?v=abc{}&si=xyz&feature=share",
        "https://x.com/someone/status/1234567890123456{}?s=20&t=AbCdEfGhIjKlMnOp",
        "https://www.instagram.com/p/Cabc{}/?igshid=MzRlODBiNWFlZA==&utm_source=ig_web_copy_link",
        "https://www.facebook.com/photo.php?fbid={}&set=a.123&type=3&__cft__[0]=AZX&__tn__=EH-R",
        "https://www.linkedin.com/posts/someone_activity-7123{}-abcd?utm_source=share"
        "&utm_medium=member_desktop&trk=public_post",
        "https://www.tiktok.com/@someone/video/72{}?is_from_webapp=1&sender_device=pc"
        "&web_id=123",
        "https://www.reddit.com/r/programming/comments/abc{}/some_title/?utm_source=share"
        "&utm_medium=web2x&context=3&share_id=xyz",
        "https://open.spotify.com/track/4uLU6hMCjMI75M1A2tKU{}?si=a1b2c3d4e5&context=spotify",
        // Newsletters and campaigns.
        "https://news.example.com/2024/05/story{}.html?utm_source=newsletter&utm_medium=email"
        "&utm_campaign=weekly&mc_cid=abc123&mc_eid=def456",
        "https://blog.example.org/post{}?_hsenc=p2ANqtz-abc&_hsmi=12345&utm_source=hs_email",
        "https://www.example.com/landing/{}?gclid=Cj0KCQjw&gclsrc=aw.ds&msclkid=abc&dclid=x",
        "https://brand.example/offer{}?fbclid=IwAR0abc&utm_content=carousel&ttclid=xyz",
        "https://shop.example.de/sale/{}?utm_source=google&utm_medium=cpc&utm_campaign=sale"
        "&utm_term=shoes&_ga=2.1.2.3&_gl=1*abc",
        "https://app.example.io/signup{}?ref_src=twsrc%5Etfw&mkt_tok=eyJpIjoi&yclid=123",
        "https://www.example.com/article/{}?UTM_Source=Mixed&Utm_Medium=Case&id=9",
        "https://example.net/p/{}?%75tm_source=encoded&q=a%26b&name=%E2%9C%93",
        // Redirect wrappers.
        "https://www.google.com/url?sa=t&rct=j&q=&esrc=s&source=web&cd=1&url=https%3A%2F%2F"
        "example.org%2Farticle{}%3Futm_source%3Dx&usg=AOvVaw0",
        "https://www.google.com/url?q=https://example.org/page{}%3Fid%3D1&sa=D&source=editors"
        "&ust=1700000000&usg=AOvVaw",
        "https://l.facebook.com/l.php?u=https%3A%2F%2Fnews.example.com%2Fstory%3Fid%3D{}"
        "%26fbclid%3DIwAR1&h=AT0abc",
        "https://out.reddit.com/t3_abc{}?url=https%3A%2F%2Fexample.com%2F%3Futm_source%3Dreddit"
        "&token=AQAA&app_name=web",
        "https://www.youtube.com/redirect?event=video_description&redir_token=abc"
        "&q=https%3A%2F%2Fexample.com%2Fshop{}%3Fref%3Dyt&v=xyz",
        "https://t.umblr.com/redirect?z=https%3A%2F%2Fexample.com%2F{}&t=abc",
        "https://www.google.com/url?q=https%3A%2F%2Fl.facebook.com%2Fl.php%3Fu%3Dhttps%253A%252F"
        "%252Fexample.org%252F{}%253Futm_source%253Dfb&sa=D",
    };
    std::vector<std::string> links;
    links.reserve(kTemplates.size() * 7);
    for (int variant = 0; variant < 7; ++variant) {
        for (const std::string& pattern : kTemplates) {
            std::string link = pattern;
            const std::size_t slot = link.find("{}");
            if (slot != std::string::npos) {
                link.replace(slot, 2, std::to_string(variant * 37 + 11));
            }
            links.push_back(std::move(link));
        }
    }
    return links;
}

}  // namespace scourlet::bench
