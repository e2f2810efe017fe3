
COMPUTE spend_t = LN(spend+1).
COMPUTE age_t = (RND(age/10)+((age/10)-TRUNC(age/10)=-0.5)).
COMPUTE income_log = LN(income+1).
COMPUTE #tenure_days = (last_visit-signup_date)/time.days(1).
COMPUTE tenure_years = (#tenure_days/365.25).
COMPUTE days_since_visit = (DATE.MDY(12,31,2024)-last_visit)/time.days(1).
COMPUTE signup_year = XDATE.YEAR(signup_date).
VARIABLE LEVEL signup_year (ORDINAL). 

COMPUTE visit_hour = XDATE.HOUR(visit_time).
STRING region_uc(A5).
COMPUTE region_uc = UPCASE(region).
VARIABLE LEVEL region_uc (NOMINAL). 

COMPUTE is_female = (gender='F').
VARIABLE LEVEL is_female (NOMINAL). 

COMPUTE high_value = ((income>50000)+(visits>=3)=2).
VARIABLE LEVEL high_value (NOMINAL). 

COMPUTE age_scale = age.
VARIABLE LEVEL age_scale (SCALE).
STRING continent(A8).
RECODE country 
      ('Germany' = 'Europe') ('France' = 'Europe') ('Italy' = 'Europe') ('Spain' = 'Europe') 
      ('Kenya' = 'Africa') ('Côte d''Ivoire' = 'Africa') ('Japan' = 'Asia') ('Brazil' = 'Americas') 
      (MISSING='Unknown') (ELSE='Other') 
  INTO continent.
VARIABLE LEVEL continent (NOMINAL). 

STRING region_grp(A5).
RECODE region ('East' = 'Coast') ('West' = 'Coast') (ELSE=COPY) 
  INTO region_grp.
VARIABLE LEVEL region_grp (NOMINAL). 

RECODE age (LOWEST THRU 25 = 1) (25 THRU 45 = 2) (45 THRU 65 = 3) (65 THRU HIGHEST = 4) 
      (ELSE=SYSMIS) 
  INTO age_band.
VARIABLE LEVEL age_band (ORDINAL). 

RECODE income (12000 THRU 250000 = Copy) (LOWEST THRU 12000 = 12000) (250000 THRU HIGHEST = 250000)
  INTO income_norm.
COMPUTE income_norm = 0 + (income_norm-12000)*(100-0)/(250000-12000).
RECODE visits (0 THRU 50 = Copy)(ELSE = SYSMIS)INTO visits_norm.
COMPUTE visits_norm = 0 + (visits_norm-0)*(1-0)/(50-0).
RECODE age ( MISSING = 41 ) (18 THRU 90 = Copy)(ELSE = COPY)
  INTO age_filled.
COMPUTE age_filled = 18 + (age_filled-18)*(90-18)/(90-18).
COMPUTE income_trim = $SYSMIS.
DO IF (income < 52000-18000*3).
COMPUTE income_trim = 52000-18000*3.
ELSE IF (income > 52000+18000*3).
COMPUTE income_trim = 52000+18000*3.
ELSE.
COMPUTE income_trim = income.
END IF.
COMPUTE visits_trim = $SYSMIS.
DO IF (visits < 6-2.5*3/SQRT(2)).
COMPUTE visits_trim = $SYSMIS.
ELSE IF (visits > 6+2.5*3/SQRT(2)).
COMPUTE visits_trim = $SYSMIS.
ELSE.
COMPUTE visits_trim = visits.
END IF.
VARIABLE ROLE
  /NONE customer_id notes
  /TARGET spend spend_t
  /INPUT age income region gender country signup_date last_visit visit_time visits age_t income_log tenure_years 
        days_since_visit signup_year visit_hour region_uc is_female high_value age_scale continent 
        region_grp age_band income_norm visits_norm age_filled income_trim visits_trim.
