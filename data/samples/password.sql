-- Sample entries: fictional people and firms, reserved example domains, test card numbers.
INSERT INTO "account" ("Account", "Website", "User", "Password", "Notes") VALUES
 ('Webmail', 'https://mail.example.com', 'robin.hale', 'Heron#2006', 'Recovery address: robin.backup@example.org'),
 ('Online Bookshop', 'https://books.example.org/login', 'rhale', 'Pages&Ink42', 'Customer no. 10482' || char(10) || 'Wish list: gardening, birds'),
 ('Photo Club Forum', 'forum.example.net', 'wren_watcher', 'Lens Cap 35', 'PIN for the club door: 2468'),
 ('Example Savings Bank', 'https://bank.example.com', '4471029', 'Gr33n-Meadow!', 'Security question: name of first pet' || char(10) || 'Answer: Biscuit');

INSERT INTO "Credit Card" ("Type Card", "Card Number", "Security Code", "Month", "Year", "Bank Name", "Address",
    "Bank City", "Bank State", "Zip Code", "Phone", "Website") VALUES
 ('Visa', '4111 1111 1111 1111', '123', '04', '2012', 'Example Savings Bank', '100 Harbour Road', 'Springfield', 'OR', '97000', '(555) 010-2000', 'https://bank.example.com'),
 ('MasterCard', '5500-0000-0000-0004', '456', '11', '2014', 'Sample Credit Union', '22 Mill Lane', 'Riverton', 'WA', '98000', '(555) 010-3100', 'https://cu.example.org');

INSERT INTO "Personal" ("Full Name", "Address", "Address1", "City", "State", "Zip", "Email") VALUES
 ('Robin Hale', '12 Alder Street', 'Apartment 3', 'Springfield', 'OR', '97000', 'robin.hale@example.com'),
 ('Sam Marsh', '48 Birch Avenue', '', 'Riverton', 'WA', '98000', 'sam.marsh@example.org');

INSERT INTO "Notes" ("Title", "Note") VALUES
 ('Welcome', 'Notes keep any text you like.' || char(10) || 'Copy a passage from a web page here, or keep text to move to other programs.'),
 ('Wi-Fi at home', 'Network: Heronsgate' || char(10) || 'Key: blue-kettle-morning'),
 ('Gift ideas', 'Robin: a field guide to birds' || char(10) || 'Sam: fountain pen ink');

INSERT INTO "Reminder" ("Date", "Reminder") VALUES
 ('1/15/2027', 'Renew the library card'),
 ('2/3/2027', 'Dentist at 10:30' || char(10) || 'Bring the insurance card'),
 ('3/21/2027', 'Change the webmail password');
