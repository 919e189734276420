// The host's desktop model: panes that split and empty, and tabs that change type in place.
#include <gtest/gtest.h>

#include <memory>

#include "host/host.h"
#include "host/ui.h"
#include "model/errors.h"

using namespace kalhost;

namespace
{

class Desktop : public ::testing::Test
{
protected:
    void SetUp() override
    {
        resetHost();
        desktop.reset(theUi()->curDesktop());
    }
    void TearDown() override
    {
        desktop.reset();
        resetHost();
    }

    std::vector<std::string> paneNames()
    {
        std::vector<std::string> names;
        for (auto const &pane : desktop->panes())
        {
            std::unique_ptr<KOM_Pane> owned(pane.get());
            names.push_back(owned->__repr__());
        }
        return names;
    }

    std::unique_ptr<KOM_Desktop> desktop;
};

template <class T>
void release(std::vector<KOM_ElemPtr<T>> const &items)
{
    for (auto const &item : items)
        delete item.get();
}

} // namespace

TEST_F(Desktop, ASplitPaneFollowsItsOriginAndGoesWhenItsLastTabCloses)
{
    auto panes = desktop->panes();
    std::unique_ptr<KOM_Pane> first(panes[0].get());
    delete panes[1].get();
    std::unique_ptr<KOM_Pane> added(first->splitHorizontally());
    EXPECT_EQ(paneNames(), (std::vector<std::string>{"<kal.Pane pane1>", "<kal.Pane pane3>",
                                                     "<kal.Pane pane2>"}));
    std::unique_ptr<KOM_PaneTab> tab(added->currentTab());
    EXPECT_EQ(tab->type()->valueId, KOM_SceneViewerPaneTabId); // like its origin's current tab
    tab->close();
    EXPECT_THROW(added->tabs(), KOM_ObjectWasDeleted);
    EXPECT_EQ(paneNames().size(), 2u);
}

TEST_F(Desktop, TheDesktopsLastPaneStaysWhenEmptied)
{
    for (auto const &tab : desktop->paneTabs())
        std::unique_ptr<KOM_PaneTab>(tab.get())->close();
    auto left = desktop->panes();
    ASSERT_EQ(left.size(), 1u);
    std::unique_ptr<KOM_Pane> last(left[0].get());
    EXPECT_TRUE(last->tabs().empty());
    EXPECT_EQ(last->currentTab(), nullptr);
}

TEST_F(Desktop, ARetypedTabKeepsItsNameAndGainsWhatItsTypeNeeds)
{
    std::unique_ptr<KOM_PaneTab> tab(desktop->findPaneTab("panetab3"));
    ASSERT_NE(tab, nullptr);
    EXPECT_EQ(tab->type(), &KOM_paneTabType::Textport);
    std::unique_ptr<KOM_PaneTab> viewer(tab->setType(KOM_paneTabType::SceneViewer));
    EXPECT_EQ(viewer->name(), "panetab3");
    auto &asViewer = dynamic_cast<KOM_SceneViewer &>(*viewer);
    auto viewports = asViewer.viewports();
    EXPECT_EQ(viewports.size(), 4u);
    release(viewports);
    std::unique_ptr<KOM_PaneTab> help(tab->setType(KOM_paneTabType::HelpBrowser));
    EXPECT_THROW(asViewer.viewports(), KOM_NotAvailable);
    EXPECT_EQ(dynamic_cast<KOM_HelpBrowser &>(*help).url(), "help:/index");
}
